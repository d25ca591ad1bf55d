// Whole tranvex-run runs, in process, against recording components and the simulated ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <ranges>

#include "RunnerInProcess.h"
#include "TestSupport.h"
#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"
#include "platform/Component.h"
#include "runner/HtmlReport.h"
#include "runner/RunnerMain.h"

namespace fs = std::filesystem;

namespace {

using ::testing::HasSubstr;
using tvxtest::ReadFile;
using AnswerFn = std::function<std::string(const std::string& request)>;

std::string Approved(const std::string& request) {
    const bool sale = request.find("<TranCode>Sale</TranCode>") != std::string::npos;
    return std::string("<?xml version=\"1.0\"?>\r\n<RStream><CmdResponse><CmdStatus>") +
           (sale ? "Approved" : "Declined") +
           "</CmdStatus><TextResponse>card 4111111111111111</TextResponse>" +
           "</CmdResponse><TranResponse><AuthCode>A1</AuthCode><RecordNo>R1</RecordNo></TranResponse></"
           "RStream>";
}

class RunnerRunTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1); }

    // Scripted answers under both class identifiers for the rest of the test.
    void Answer(AnswerFn answer) {
        auto state = std::make_shared<tvxtest::SFakeState>();
        state->answer = [answer](int, const DispArgs& args) {
            return answer(std::get<std::string>(args.at(0)));
        };
        for (const char* clsid : {CKVTCLientX::clsid, CKvtHRNX::clsid})
            m_registrations.push_back(tvxtest::RegisterFake(clsid, state));
    }

    void WriteScript(const std::string& name, const std::string& blocks) {
        tvxtest::WriteFile(m_dir / name, "<?xml version=\"1.0\"?>\n<TStream>\n" + blocks + "</TStream>\n");
    }

    // Runs the program in process, logging nothing; what it prints is kept in m_out and m_err.
    int Run(std::vector<CString> args) { return tvxtest::RunRunnerInProcess(std::move(args), m_out, m_err); }

    tvxtest::CTempDir m_temp{tvxtest::CTempDir::eEnter};
    const fs::path m_dir = m_temp.Path();
    std::vector<std::unique_ptr<CComponentRegistration>> m_registrations;
    std::string m_out, m_err;
};

const char kSale[] = "<!-- A sale. Expect: Approved; AuthCode=* -->\n"
                     "<Transaction>\n<TranCode>Sale</TranCode>\n<Account><AcctNo>4111111111111111</AcctNo>"
                     "<Track2>;5454545454545454=28121010000012300000?</Track2></Account>\n</Transaction>\n";

TEST_F(RunnerRunTest, ExitStatusAndWhatFailedTransactionsSay) {
    Answer([](const std::string& request) {
        if (request.find("<TranCode>Boom</TranCode>") != std::string::npos)
            throw CDispatchError("Member not found.");
        if (request.find("<TranCode>Junk</TranCode>") != std::string::npos)
            return std::string("not xml");
        return Approved(request);
    });
    const struct {
        const char* blocks;
        int status;
        const char* says; // on standard error
    } cases[] = {
        {"<!-- Expect: Approved -->\n<Transaction><TranCode>Return</TranCode></Transaction>\n", 1,
         "CmdStatus: expected \"Approved\", got \"Declined\""},
        {"<Transaction><TranCode>Boom</TranCode></Transaction>\n", 1, "Member not found."},
        // A line that opens no block ends the scan: what follows is reported, not silently skipped.
        {"<Transaction><TranCode>Sale</TranCode></Transaction>\n<Transction>\n", 1,
         "Not run: the script reader stopped at \"<Transction>\""},
        {"<Transaction><TranCode>Junk</TranCode></Transaction>\n", 1,
         "PArsing Response->XML Parse Error at line#:1"},
        {"<Transaction><TranCode>Sale</Transaction>\n" // does not parse; the run goes on
         "<!-- Expect: Approved -->\n<Transaction><TranCode>Sale</TranCode></Transaction>\n",
         1, "XML Parse Error at s.xml:3: Start-end tags mismatch"},
    };
    for (const auto& c : cases) {
        WriteScript("s.xml", c.blocks);
        EXPECT_EQ(Run({"s.xml"}), c.status) << c.blocks;
        EXPECT_THAT(m_err, HasSubstr(c.says));
    }
    EXPECT_THAT(m_err, HasSubstr("2/2 Transaction Sale Approved passed"));

    // Only regular files are read; the others are counted, and a report's folder is made.
    EXPECT_EQ(Run({"--html", "out/r.html", "--junit", "out/r.xml", "s.xml", "/dev/zero", "missing.xml"}),
              kExitUsage);
    // The block that did not parse is shown as stored, with the file's line and the parser's reason.
    EXPECT_THAT(ReadFile("out/r.xml"), HasSubstr("<TStream>\n<Transaction><TranCode>Sale</Transaction>"));
    for (const char* report : {"out/r.xml", "out/r.html"})
        EXPECT_THAT(ReadFile(report), HasSubstr("s.xml:3: Start-end tags mismatch")) << report;
    EXPECT_THAT(m_err, HasSubstr("/dev/zero: Unable to open file for reading."));
    EXPECT_THAT(m_err, HasSubstr("1 failed, 2 scripts not read"));
    EXPECT_THAT(ReadFile("out/r.html"), HasSubstr("2 scripts not read"));
    // The line is the file's, past comments and blank lines: the sample without one closing tag.
    CString sample = ReadFile(TRANVEX_SAMPLE_SCRIPT);
    sample.erase(sample.find("</Zip>"), 6);
    tvxtest::WriteFile(m_dir / "t.xml", sample);
    EXPECT_EQ(Run({"t.xml"}), kExitFailed);
    EXPECT_THAT(m_err, HasSubstr("XML Parse Error at t.xml:31: Start-end tags mismatch"));
    // Answers of two scripts of one name would share a folder; an answer that cannot be stored fails.
    fs::create_directories("b/s");
    fs::copy_file("s.xml", "b/s.xml");
    EXPECT_EQ(Run({"--record", "b", "s.xml", "b/s.xml"}), kExitUsage);
    EXPECT_THAT(m_err, HasSubstr("two scripts are named s"));
    fs::create_symlink("/dev/full", "b/s/2.xml");
    EXPECT_EQ(Run({"--record", "b", "s.xml"}), kExitFailed);
    EXPECT_THAT(m_err, HasSubstr("Unable to store the answer in b/s/2.xml"));
    EXPECT_EQ(Run({"--target", "nowhere", "s.xml"}), kExitUsage);
    EXPECT_EQ(Run({"--help"}), kExitPassed);
    EXPECT_THAT(m_out, HasSubstr("Usage: tranvex-run"));
    EXPECT_FALSE(fs::exists(m_dir / "CORVANE_LOGS"));
}

TEST_F(RunnerRunTest, TheComponentChosenByOptionElseEnvironmentAnswersOrStopsTheRun) {
    WriteScript("s.xml", kSale);
    const CString simClient = std::string(TRANVEX_COMPONENT_DIR) + "/" + CKVTCLientX::clsid + ".so";
    const std::string notALibrary = (m_dir / "s.xml").string();
    const struct {
        const char* env; // TRANVEX_CLIENT_COMPONENT
        std::vector<CString> args;
        int status;
        std::string says;
    } cases[] = {
        {"simm", {}, kExitUsage, "TRANVEX_CLIENT_COMPONENT is \"simm\": give sim, net, replay or the absolute path"},
        {"components/x.so", {}, kExitUsage, "TRANVEX_CLIENT_COMPONENT is \"components/x.so\""},
        {"",
         {"--device-component", notALibrary},
         kExitUsage,
         "--device-component " + notALibrary + ": cannot open"},
        {"", {"--client-component=/nowhere.so"}, kExitUsage, "--client-component /nowhere.so: no library"},
        // The option wins, and the simulated client it names answers the sample as it expects.
        {"simm", {"--client-component", simClient, TRANVEX_SAMPLE_SCRIPT}, kExitPassed, "15 passed"},
    };
    for (const auto& c : cases) {
        setenv("TRANVEX_CLIENT_COMPONENT", c.env, 1);
        std::vector<CString> args = c.args;
        if (c.status != kExitPassed)
            args.push_back("s.xml");
        EXPECT_EQ(Run(args), c.status) << c.env;
        EXPECT_THAT(m_err, HasSubstr(c.says));
    }
    unsetenv("TRANVEX_CLIENT_COMPONENT");
}

TEST_F(RunnerRunTest, ServersAreStoredFirstAndAnErrorAnswerStopsTheRun) {
    std::vector<std::string> seen;
    Answer([&seen](const std::string& text) {
        seen.push_back(text);
        if (text == "good" || text == "bad")
            return "<RStream><CmdResponse><ResponseOrigin>Client</ResponseOrigin><CmdStatus>" +
                   std::string(text == "good" ? "Success" : "Error") +
                   "</CmdStatus><TextResponse>no such host</TextResponse></CmdResponse></RStream>";
        return Approved(text);
    });
    WriteScript("s.xml", kSale);
    EXPECT_EQ(Run({"--servers", "good", "s.xml"}), kExitPassed) << m_err;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "good");
    seen.clear();
    EXPECT_EQ(Run({"--servers=bad", "s.xml"}), kExitUsage);
    EXPECT_THAT(m_err, HasSubstr("tranvex-run: --servers: Error: no such host"));
    EXPECT_EQ(seen, std::vector<std::string>{"bad"}); // nothing sent after it
}

TEST_F(RunnerRunTest, CardDataIsMaskedInEveryOutputUnlessAskedNotTo) {
    Answer(Approved);
    WriteScript("s.xml", std::string(kSale) +
                             "<!-- Expect: TextResponse=none -->\n<Transaction><TranCode>Sale</TranCode>"
                             "<Track2>;5454545454545454=28121010000012300000?</Track2></Transaction>\n");
    for (const bool masked : {true, false}) {
        std::vector<CString> args = {"--junit", "r.xml", "--html", "r.html", "s.xml"};
        if (!masked)
            args.insert(args.begin(), "--no-mask");
        EXPECT_EQ(Run(args), kExitFailed);
        for (const std::string& report : {ReadFile("r.xml"), ReadFile("r.html")})
            for (const char* secret : {"4111111111111111", "5454545454545454", "=2812101"})
                EXPECT_EQ(report.find(secret) == std::string::npos, masked) << secret << " in\n" << report;
        // What the program prints: the failed check's actual value holds a card number.
        EXPECT_EQ(m_err.find("got \"card 4111111111111111\"") == std::string::npos, masked) << m_err;
        EXPECT_EQ(m_err.find("got \"card 411111XXXXXX1111\"") == std::string::npos, !masked) << m_err;
    }
}

TEST_F(RunnerRunTest, ReportsHaveTheStructureTheirReadersNeed) {
    Answer(Approved);
    WriteScript("first.xml",
                std::string(kSale) + "<!-- Expect: Approved -->\n<Admin><TranCode>X</TranCode></Admin>\n");
    WriteScript("second.xml", "<Transaction><TranCode>Sale</TranCode></Transaction>\n");
    ASSERT_EQ(Run({"--junit", "r.xml", "--html", "r.html", "first.xml", "second.xml"}), kExitFailed);

    pugi::xml_document junit;
    ASSERT_TRUE(junit.load_file("r.xml"));
    const pugi::xml_node suites = junit.child("testsuites");
    EXPECT_EQ(suites.attribute("tests").as_int(), 3);
    EXPECT_EQ(suites.attribute("failures").as_int(), 1);
    const pugi::xml_node first = suites.child("testsuite");
    EXPECT_STREQ(first.attribute("name").value(), "first");
    EXPECT_EQ(first.attribute("tests").as_int(), 2);
    const pugi::xml_node sale = first.child("testcase");
    EXPECT_STREQ(sale.attribute("name").value(), "A sale.");
    EXPECT_STREQ(sale.attribute("classname").value(), "first");
    EXPECT_FALSE(sale.child("failure"));
    std::string out; // text and CDATA sections alike
    for (const pugi::xml_node& part : sale.child("system-out").children())
        out += part.value();
    EXPECT_THAT(out, HasSubstr("Request:\n<?xml version=\"1.0\"?>\n<TStream>\n\t<Transaction>"));
    const pugi::xml_node admin = sale.next_sibling("testcase");
    EXPECT_STREQ(admin.attribute("name").value(), "Block 2 X");
    EXPECT_STREQ(admin.child("failure").attribute("message").value(),
                 "CmdStatus: expected \"Approved\", got \"Declined\"");
    EXPECT_STREQ(first.next_sibling("testsuite").child("testcase").attribute("name").value(), "Block 1 Sale");

    EXPECT_THAT(ReadFile("r.html"), HasSubstr("<tr class=\"fail\"><td>Approved</td><td>CmdStatus</td>"));
    const std::string check = std::string("python3 ") + TRANVEX_HTML_CHECKER + " r.html";
    EXPECT_EQ(std::system(check.c_str()), 0) << "not well-formed HTML5, or python3 is missing";
}

// A long run's page keeps the texts of the first failures and passes only, lists every failure and
// says what it left out; the JUnit report keeps every transaction.
TEST_F(RunnerRunTest, ALongRunsPageListsEveryFailureWithTheFirstInFull) {
    Answer(Approved);
    std::string blocks;
    for (int i = 0; i < CHtmlReport::kInFull + 2; ++i)
        blocks += "<!-- Expect: Approved -->\n<Transaction><TranCode>Return</TranCode></Transaction>\n"
                  "<Transaction><TranCode>Sale</TranCode></Transaction>\n";
    WriteScript("s.xml", blocks);
    ASSERT_EQ(Run({"--junit", "r.xml", "--html", "r.html", "s.xml"}), kExitFailed);
    const auto count = [](const std::string& text, std::string_view what) {
        return std::ranges::distance(std::views::split(text, what)) - 1;
    };
    const std::string html = ReadFile("r.html");
    EXPECT_EQ(count(html, "<section class=\"txn failed\""), CHtmlReport::kInFull + 2);
    EXPECT_EQ(count(html, "<h3>Request</h3>"), 2 * CHtmlReport::kInFull);
    EXPECT_THAT(html, HasSubstr("Left out: the request and response of 2 later failed transactions (listed "
                                "below with their reasons), and 2 later passed transactions."));
    EXPECT_EQ(count(ReadFile("r.xml"), "<testcase "), 2 * CHtmlReport::kInFull + 4);
}

// Record the sample on the simulated client (every note holds), compare a second run with it, then
// change one stored answer: the comparison names each changed field, and ignored fields are left out.
// The device and the log are covered by the window parity test.
TEST_F(RunnerRunTest, KnownGoodRecordThenCompare) {
    ASSERT_EQ(Run({"--record", "good", TRANVEX_SAMPLE_SCRIPT}), kExitPassed) << m_err;
    EXPECT_EQ(Run({"--known-good", "good", TRANVEX_SAMPLE_SCRIPT}), kExitPassed) << m_err;

    const fs::path stored = m_dir / "good/TStream/2.xml";
    std::string answer = ReadFile(stored);
    answer.replace(answer.find("APPROVED"), 8, "APPROVED!");
    answer.replace(answer.find("\t\t<AVSResult>Y</AVSResult>\r\n"), 29, "");
    tvxtest::WriteFile(stored, answer);

    EXPECT_EQ(Run({"--known-good", "good", "--junit", "r.xml", TRANVEX_SAMPLE_SCRIPT}), kExitFailed);
    EXPECT_THAT(ReadFile("r.xml"), HasSubstr("Known-good /RStream/CmdResponse/TextResponse: expected "
                                             "&quot;APPROVED!&quot;, actual &quot;APPROVED&quot;"));
    EXPECT_EQ(Run({"--known-good", "good", "--ignore", "TextResponse,AVSResult", TRANVEX_SAMPLE_SCRIPT}),
              kExitPassed)
        << m_err;
}

} // namespace
