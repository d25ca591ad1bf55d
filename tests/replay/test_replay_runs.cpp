// Whole tranvex-run sessions: the sample recorded on the simulated components, then replayed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "RunnerInProcess.h"
#include "TestSupport.h"
#include "controls/PaymentTargets.h"
#include "runner/RunnerMain.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using tvxtest::ReadFile;

namespace {

class ReplayRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
        for (const char* name : {"TRANVEX_RECORD", "TRANVEX_REPLAY", "TRANVEX_REPLAY_IGNORE",
                                 "TRANVEX_CLIENT_COMPONENT", "TRANVEX_DEVICE_COMPONENT"})
            unsetenv(name);
    }

    int Run(std::vector<CString> args) {
        std::string out;
        return tvxtest::RunRunnerInProcess(std::move(args), out, m_err);
    }

    // The answers of a run, one file per block, as --record keeps them.
    static std::string Answers(const std::string& dir) {
        std::string all;
        for (int n = 1; fs::exists(dir + "/TStream/" + std::to_string(n) + ".xml"); ++n)
            all += ReadFile(dir + "/TStream/" + std::to_string(n) + ".xml") + "\n--\n";
        return all;
    }

    tvxtest::CTempDir m_temp{tvxtest::CTempDir::eEnter};
    std::string m_err;
};

// On each control: the replayed run answers byte for byte as the recorded one, passes as it did, and
// recording it again gives the same cassette.
TEST_F(ReplayRunTest, ReplayingTheSampleReproducesItsRunOnEitherControl) {
    fs::copy_file(TRANVEX_SAMPLE_SCRIPT, "TStream.xml");
    for (const STargetInfo& row : kTargets) {
        const std::string name = row.pszName;
        const int recorded = Run(
            {"--target", name, "--record-calls", name + ".tape", "--record", name + "-live", "TStream.xml"});
        ASSERT_NE(recorded, kExitUsage) << m_err;
        const std::string live = Answers(name + "-live");
        ASSERT_FALSE(live.empty());
        EXPECT_EQ(
            Run({"--target", name, "--" + name + "-component", "replay", "--replay", name + ".tape",
                 "--record-calls", name + "-again.tape", "--record", name + "-replayed", "TStream.xml"}),
            recorded)
            << m_err;
        EXPECT_EQ(Answers(name + "-replayed"), live) << name;
        EXPECT_EQ(ReadFile(name + "-again.tape"), ReadFile(name + ".tape")) << name;
    }
    // The environment chooses the same as the options.
    setenv("TRANVEX_CLIENT_COMPONENT", "replay", 1);
    setenv("TRANVEX_REPLAY", "client.tape", 1);
    EXPECT_EQ(Run({"TStream.xml"}), kExitPassed) << m_err;
}

// Sessions come and go (parallel sessions, a load run's passes); each adds its calls to the one
// cassette, which is never emptied between them, and the cassette replays the whole run.
TEST_F(ReplayRunTest, EverySessionOfARunRecordsInOneCassette) {
    const std::vector<CString> scripts = {"a.xml", "b.xml", "c.xml", "d.xml"};
    for (const CString& script : scripts)
        fs::copy_file(TRANVEX_SAMPLE_SCRIPT, script);
    ASSERT_EQ(Run({"--record-calls", "one.tape", "a.xml"}), kExitPassed) << m_err;
    const auto calls = [](const std::string& text) {
        std::size_t n = 0;
        for (std::size_t at = text.find("\ncall "); at != std::string::npos;
             at = text.find("\ncall ", at + 1))
            ++n;
        return n;
    };
    const std::size_t nOnePass = calls(ReadFile("one.tape"));
    ASSERT_GT(nOnePass, 0u);
    const CString strTwoPasses = std::to_string(2 * nOnePass);
    ASSERT_EQ(Run({"--load", "1", "--count", strTwoPasses, "--record-calls", "load.tape", "a.xml"}),
              kExitPassed)
        << m_err;
    EXPECT_EQ(calls(ReadFile("load.tape")), 2 * nOnePass);

    std::vector<CString> args = {"--jobs", "2", "--record-calls", "all.tape"};
    args.insert(args.end(), scripts.begin(), scripts.end());
    ASSERT_EQ(Run(args), kExitPassed) << m_err;
    EXPECT_EQ(calls(ReadFile("all.tape")), 4 * nOnePass);
    args = {"--client-component", "replay", "--replay", "all.tape"};
    args.insert(args.end(), scripts.begin(), scripts.end());
    EXPECT_EQ(Run(args), kExitPassed) << m_err;
}

TEST_F(ReplayRunTest, AChangedRequestFailsItsTransactionWithTheDifference) {
    fs::copy_file(TRANVEX_SAMPLE_SCRIPT, "TStream.xml");
    ASSERT_EQ(Run({"--record-calls", "c.tape", "TStream.xml"}), kExitPassed) << m_err;
    CString script = ReadFile("TStream.xml");
    const std::size_t at = script.find("<Zip>30301</Zip>");
    ASSERT_NE(at, CString::npos);
    script.replace(at, 16, "<Zip>30302</Zip>");
    tvxtest::WriteFile("TStream.xml", script);
    EXPECT_EQ(Run({"--client-component", "replay", "--replay", "c.tape", "TStream.xml"}), kExitFailed);
    EXPECT_THAT(m_err, HasSubstr("No recorded call matches this SubmitRequest call of the client control"));
    EXPECT_THAT(m_err, HasSubstr("14/15"));
    // The whole message, with the difference, is in the reports.
    EXPECT_EQ(Run({"--client-component", "replay", "--replay", "c.tape", "--junit", "r.xml", "TStream.xml"}),
              kExitFailed);
    EXPECT_THAT(ReadFile("r.xml"), HasSubstr("Zip: recorded &quot;30301&quot;, now &quot;30302&quot;"));
    // Ignored, the element no longer stops the match.
    EXPECT_EQ(
        Run({"--client-component", "replay", "--replay", "c.tape", "--replay-ignore", "Zip", "TStream.xml"}),
        kExitPassed)
        << m_err;
    EXPECT_THAT(m_err, ::testing::Not(HasSubstr("No recorded call matches")));
}

TEST_F(ReplayRunTest, ACassetteThatCannotServeStopsTheRunBeforeAnythingIsSent) {
    fs::copy_file(TRANVEX_SAMPLE_SCRIPT, "TStream.xml");
    ASSERT_EQ(Run({"--target", "device", "--record-calls", "device.tape", "TStream.xml"}), kExitPassed)
        << m_err;
    CString cut = ReadFile("device.tape");
    cut.resize(cut.size() - 10);
    tvxtest::WriteFile("cut.tape", cut);
    const struct {
        std::vector<CString> args;
        const char* says;
    } cases[] = {
        {{"--client-component", "replay", "--replay", "missing.tape"},
         "Cannot read the cassette missing.tape"},
        {{"--client-component", "replay", "--replay", "cut.tape"}, "cannot be read: line"},
        {{"--client-component", "replay", "--replay", "device.tape"},
         "holds no call of the client control (only of the device control)"},
        {{"--client-component", "replay"}, "name the cassette with TRANVEX_REPLAY"},
        {{"--record-calls", "no/such/dir/c.tape"}, "Cannot record the calls in no/such/dir/c.tape"},
    };
    for (const auto& c : cases) {
        std::vector<CString> args = c.args;
        args.push_back("TStream.xml");
        EXPECT_EQ(Run(args), kExitUsage);
        EXPECT_THAT(m_err, HasSubstr(c.says));
        EXPECT_THAT(m_err, ::testing::Not(HasSubstr("1/15")));
    }
    EXPECT_EQ(Run({"--record-calls", "/dev/full", "TStream.xml"}), kExitUsage);
}

} // namespace
