// Whole tranvex-run runs with variables and data rows: what reaches the component, what fails before
// anything is sent, and one suite and one fresh session per row.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <pugixml.hpp>

#include "RunnerInProcess.h"
#include "TestSupport.h"
#include "controls/KVTCLientX.h"
#include "runner/RunnerMain.h"

namespace fs = std::filesystem;

namespace {

using ::testing::HasSubstr;
using tvxtest::ReadFile;

class RunnerDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
        for (const char* name : {"TRANVEX_VARS", "TVX_MEMO", "TRANVEX_CLIENT_COMPONENT"})
            unsetenv(name);
    }
    void TearDown() override {
        unsetenv("TRANVEX_VARS");
        unsetenv("TVX_MEMO");
    }

    // The client control answers every request Approved and keeps what it was sent.
    void Fake() {
        m_fake->answer = [](int, const DispArgs&) {
            return std::string(
                "<RStream><CmdResponse><CmdStatus>Approved</CmdStatus></CmdResponse></RStream>");
        };
        m_registration = tvxtest::RegisterFake(CKVTCLientX::clsid, m_fake);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> sent;
        for (const tvxtest::SFakeCall& call : m_fake->calls)
            sent.push_back(std::get<std::string>(call.args.at(0)));
        return sent;
    }

    void WriteScript(const std::string& name, const std::string& blocks) {
        tvxtest::WriteFile(name, "<?xml version=\"1.0\"?>\n<TStream>\n" + blocks + "</TStream>\n");
    }

    int Run(std::vector<CString> args) {
        std::string out;
        return tvxtest::RunRunnerInProcess(std::move(args), out, m_err);
    }

    tvxtest::CTempDir m_temp{tvxtest::CTempDir::eEnter};
    std::shared_ptr<tvxtest::SFakeState> m_fake = std::make_shared<tvxtest::SFakeState>();
    std::unique_ptr<CComponentRegistration> m_registration;
    std::string m_err;
};

const char kMemoBlock[] = "<Transaction><TranCode>Sale</TranCode><Memo>${TVX_MEMO}</Memo></Transaction>\n";

// Each source hides the ones after it: a data column, --var, the variables file (--vars, which
// replaces TRANVEX_VARS, else TRANVEX_VARS), then the environment. The value is sent as text.
TEST_F(RunnerDataTest, TheSentRequestHoldsTheValueOfTheFirstSourceThatHasIt) {
    Fake();
    WriteScript("s.xml", kMemoBlock);
    tvxtest::WriteFile("env.vars", "# TRANVEX_VARS\nTVX_MEMO=from TRANVEX_VARS\n");
    tvxtest::WriteFile("opt.vars", "TVX_MEMO=from --vars\r\n");
    tvxtest::WriteFile("other.vars", "UNRELATED=1\n");
    tvxtest::WriteFile("rows.csv", "TVX_MEMO\nfrom the data\n");
    const struct {
        const char* env;      // the environment's TVX_MEMO, or null
        const char* varsFile; // TRANVEX_VARS, or null
        std::vector<CString> args;
        const char* memo; // as sent
    } cases[] = {
        {"from the environment", nullptr, {}, "from the environment"},
        {"from the environment", "env.vars", {}, "from TRANVEX_VARS"},
        {"from the environment", "env.vars", {"--vars", "opt.vars"}, "from --vars"},
        {"from the environment", "env.vars", {"--vars", "other.vars"}, "from the environment"},
        {"from the environment",
         "env.vars",
         {"--vars", "opt.vars", "--var", "TVX_MEMO=from --var"},
         "from --var"},
        {nullptr, nullptr, {"--var", "TVX_MEMO=1", "--var", "TVX_MEMO=last"}, "last"},
        {nullptr, "env.vars", {"--var", "TVX_MEMO=from --var", "--data", "rows.csv"}, "from the data"},
        {nullptr, nullptr, {"--var", "TVX_MEMO=a<b & \"c\""}, "a&lt;b &amp; \"c\""},
    };
    for (const auto& c : cases) {
        c.env ? setenv("TVX_MEMO", c.env, 1) : unsetenv("TVX_MEMO");
        c.varsFile ? setenv("TRANVEX_VARS", c.varsFile, 1) : unsetenv("TRANVEX_VARS");
        m_fake->calls.clear();
        std::vector<CString> args = c.args;
        args.push_back("s.xml");
        EXPECT_EQ(Run(args), kExitPassed) << c.memo << ": " << m_err;
        const std::vector<std::string> sent = Sent();
        ASSERT_EQ(sent.size(), 1u) << c.memo;
        EXPECT_THAT(sent[0], HasSubstr(std::string("<Memo>") + c.memo + "</Memo>"));
    }
}

// A reference that cannot be given, in a block or in its note, fails that transaction with the name
// and the place, and nothing is sent for it; the blocks around it run. A source that cannot be read
// stops the run before anything is sent.
TEST_F(RunnerDataTest, WhatCannotBeGivenFailsBeforeAnythingIsSent) {
    Fake();
    const struct {
        const char* blocks;
        std::vector<CString> args;
        int status;
        const char* says;
        std::size_t nSent;
    } cases[] = {
        {"<Transaction><TranCode>Sale</TranCode></Transaction>\n"
         "<Transaction><TranCode>${TVX_NOWHERE}</TranCode></Transaction>\n"
         "<Transaction><TranCode>Return</TranCode></Transaction>\n",
         {},
         kExitFailed,
         "Undefined variable ${TVX_NOWHERE} in block 2 at s.xml:4",
         2},
        {"<!-- Expect: CmdStatus=${TVX_STATUS} -->\n<Transaction><TranCode>Sale</TranCode></Transaction>\n",
         {},
         kExitFailed,
         "Undefined variable ${TVX_STATUS} in the note of block 1 at s.xml:4",
         0},
        {"<Transaction><TranCode>${TVX_CODE</TranCode></Transaction>\n",
         {},
         kExitFailed,
         "Unterminated ${",
         0},
        {kMemoBlock, {"--vars", "bad.vars"}, kExitUsage, "--vars: bad.vars:2: not NAME=VALUE", 0},
        {kMemoBlock,
         {"--vars", "missing.vars"},
         kExitUsage,
         "cannot read the variables file missing.vars",
         0},
        {kMemoBlock, {"--var", "9=x"}, kExitUsage, "--var needs NAME=VALUE", 0},
        {kMemoBlock,
         {"--data", "bad.csv"},
         kExitUsage,
         "--data: bad.csv:3: 1 fields where the header has 2",
         0},
        {kMemoBlock, {"--data", "good.csv", "--data-name", "NOPE"}, kExitUsage, "has no column NOPE", 0},
        {kMemoBlock,
         {"--data", "twice.csv", "--data-name", "N"},
         kExitUsage,
         "lines 2 and 3 are both named \"a\"",
         0},
    };
    tvxtest::WriteFile("bad.vars", "A=1\nB\n");
    tvxtest::WriteFile("bad.csv", "TVX_MEMO,N\nx,1\ny\n");
    tvxtest::WriteFile("good.csv", "TVX_MEMO,N\nx,1\n");
    tvxtest::WriteFile("twice.csv", "TVX_MEMO,N\nx,a\ny,a\n");
    for (const auto& c : cases) {
        WriteScript("s.xml", c.blocks);
        m_fake->calls.clear();
        std::vector<CString> args = c.args;
        args.push_back("s.xml");
        EXPECT_EQ(Run(args), c.status) << c.says << ": " << m_err;
        EXPECT_THAT(m_err, HasSubstr(c.says));
        EXPECT_EQ(Sent().size(), c.nSent) << c.says;
    }
    // The blocks around the one that failed are the ones sent.
    WriteScript("s.xml", cases[0].blocks);
    m_fake->calls.clear();
    Run({"s.xml"});
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_THAT(Sent()[1], HasSubstr("<TranCode>Return</TranCode>"));
}

// Ten rows on the simulated client: each row is its own suite and a fresh session. Its void, sent
// first, finds no tokens carried from the row before (an approved sale there), and its sale is the
// first record of new components. Row 7 expects a wrong status, so one suite fails.
const char kRowScript[] =
    "<!-- Void ${NAME} first. Expect: CmdStatus=Error; TextResponse=Missing RecordNo -->\n"
    "<Transaction><MerchantID>880012345678</MerchantID><TranCode>VoidSale</TranCode>"
    "<Amount><Purchase>${AMOUNT}</Purchase></Amount></Transaction>\n"
    "<!-- Sale ${NAME}. Expect: CmdStatus=${STATUS}; RecordNo~000001$; InvoiceNo=${INVOICE} -->\n"
    "<Transaction><MerchantID>880012345678</MerchantID><TranCode>Sale</TranCode><InvoiceNo>${INVOICE}</"
    "InvoiceNo>"
    "<Account><AcctNo>4111111111111111</AcctNo><ExpDate>1228</ExpDate></Account>"
    "<Amount><Purchase>${AMOUNT}</Purchase></Amount></Transaction>\n";

std::string TenRows() {
    std::string csv = "NAME,INVOICE,AMOUNT,STATUS\r\n";
    for (int n = 1; n <= 10; ++n)
        csv += "\"card, " + std::to_string(n) + "\"," + std::to_string(3000 + n) + "," + std::to_string(n) +
               ".00," + (n == 7 ? "Declined" : "Approved") + "\r\n";
    return csv;
}

// Each suite's name, its test count and its failed cases' messages, in report order.
std::vector<std::string> Suites(const std::string& file) {
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str()))
        return {"(no report " + file + ")"};
    std::vector<std::string> suites;
    for (const pugi::xml_node& suite : doc.child("testsuites").children("testsuite")) {
        std::string line =
            std::string(suite.attribute("name").value()) + " " + suite.attribute("tests").value();
        for (const pugi::xml_node& test : suite.children("testcase"))
            if (const pugi::xml_node failure = test.child("failure"))
                line += std::string(" | ") + test.attribute("name").value() + ": " +
                        failure.attribute("message").value();
        suites.push_back(line);
    }
    return suites;
}

TEST_F(RunnerDataTest, TenRowsAreTenSuitesEachAFreshSessionAndJobsGiveTheSameVerdicts) {
    WriteScript("s.xml", kRowScript);
    tvxtest::WriteFile("rows.csv", TenRows());
    ASSERT_EQ(Run({"--junit", "rows.xml", "--html", "rows.html", "--data", "rows.csv", "s.xml"}), kExitFailed)
        << m_err;
    const std::vector<std::string> byNumber = Suites("rows.xml");
    ASSERT_EQ(byNumber.size(), 10u) << m_err;
    for (int n = 1; n <= 10; ++n)
        EXPECT_EQ(byNumber[n - 1],
                  "s [row " + std::to_string(n) + "] 2" +
                      (n == 7 ? " | Sale card, 7.: CmdStatus: expected \"Declined\", got \"Approved\"" : ""));
    const std::string html = ReadFile("rows.html");
    EXPECT_THAT(html, HasSubstr("s [row 10] #2: Sale card, 10."));

    // Named by a column; two scripts of one row are one session, their suites named script [value].
    ASSERT_EQ(Run({"--junit", "named.xml", "--data", "rows.csv", "--data-name", "NAME", "s.xml"}),
              kExitFailed);
    const std::vector<std::string> byName = Suites("named.xml");
    ASSERT_EQ(byName.size(), 10u);
    EXPECT_EQ(byName[0], "card, 1 2");
    EXPECT_THAT(byName[6], HasSubstr("card, 7 2 | Sale card, 7."));
    fs::copy_file("s.xml", "t.xml");
    tvxtest::WriteFile("two.csv", "NAME,INVOICE,AMOUNT,STATUS\nx,1,1.00,Approved\n");
    ASSERT_EQ(Run({"--junit", "two.xml", "--data", "two.csv", "--data-name", "NAME", "s.xml", "t.xml"}),
              kExitFailed);
    // t's void follows s's sale in the same session and voids it; t's sale is the second record.
    EXPECT_EQ(Suites("two.xml"), (std::vector<std::string>{
                                     "s [x] 2", "t [x] 2 | Void x first.: CmdStatus: expected \"Error\", got "
                                                "\"Approved\" | Sale x.: RecordNo: expected a match of "
                                                "/000001$/, got \"R7C40509E000002\""}));

    // In parallel sessions each row still starts fresh, and the reports keep the rows' order.
    ASSERT_EQ(Run({"--jobs", "2", "--junit", "jobs.xml", "--data", "rows.csv", "s.xml"}), kExitFailed)
        << m_err;
    EXPECT_EQ(Suites("jobs.xml"), byNumber);
}

} // namespace
