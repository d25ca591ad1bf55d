// tranvex-run at scale: options, shards, the latency histogram, parallel sessions, load runs, time
// limits and the stop signals (these two on the real program, with a component that sleeps).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <pugixml.hpp>
#include <random>
#include <set>
#include <thread>

#include "RunnerInProcess.h"
#include "TestSupport.h"
#include "controls/KVTCLientX.h"
#include "runner/LatencyHistogram.h"
#include "runner/RunnerMain.h"
#include "runner/RunnerOptions.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

using ::testing::HasSubstr;
using tvxtest::ReadFile;

TEST(ScaleOptionsTest, ValuesAndCombinationsAreChecked) {
    const struct {
        std::vector<CString> args;
        const char* error; // empty: accepted
    } cases[] = {
        {{"--jobs", "4", "s.xml"}, ""},
        {{"--jobs=0", "s.xml"}, "--jobs needs a number of sessions from 1 to 1024, not \"0\""},
        {{"--jobs", "2x", "s.xml"}, "--jobs needs a number"},
        {{"--shard", "3/3", "s.xml"}, ""},
        {{"--shard", "4/3", "s.xml"}, "--shard needs K/N with 1 <= K <= N, not \"4/3\""},
        {{"--shard", "0/3", "s.xml"}, "--shard needs K/N"},
        {{"--shard", "1", "s.xml"}, "--shard needs K/N"},
        {{"--load", "8", "--duration", "2", "s.xml"}, ""},
        {{"--load", "8", "--count", "100", "--rate", "50.5", "s.xml"}, ""},
        {{"--load", "8", "s.xml"}, "--load needs either --duration or --count"},
        {{"--load", "8", "--duration", "2", "--count", "5", "s.xml"},
         "--load needs either --duration or --count"},
        {{"--duration", "2", "s.xml"}, "--duration, --count and --rate need --load"},
        {{"--rate", "5", "s.xml"}, "--duration, --count and --rate need --load"},
        {{"--load", "2", "--jobs", "2", "--count", "5", "s.xml"},
         "--jobs and --load cannot be used together"},
        {{"--timeout", "0.5", "s.xml"}, ""},
        {{"--timeout", "-1", "s.xml"}, "--timeout needs a positive number, not \"-1\""},
        {{"--rate", "nan", "--load", "1", "--count", "1", "s.xml"}, "--rate needs a positive number"},
        {{"--summary", "", "s.xml"}, "option --summary needs a value"},
        {{"--timeout"}, "option --timeout needs a value"},
    };
    for (const auto& c : cases) {
        SRunnerOptions options;
        CString strError;
        const bool bAccepted = ParseRunnerOptions(c.args, options, strError);
        EXPECT_EQ(bAccepted, *c.error == '\0') << c.args.front() << ": " << strError;
        EXPECT_THAT(strError, HasSubstr(c.error));
    }
    SRunnerOptions options;
    CString strError;
    ASSERT_TRUE(ParseRunnerOptions({"--load=3", "--rate=200", "--duration=1.5", "--shard=2/5", "s.xml"}, options,
                                   strError));
    EXPECT_EQ(options.scale.nLoadSessions, 3);
    EXPECT_EQ(options.scale.dRate, 200);
    EXPECT_EQ(options.scale.dDuration, 1.5);
    EXPECT_EQ(ShardLabel(options.scale), "2/5");
}

TEST(ScaleOptionsTest, ShardsTogetherAreEveryScriptOnceInTheOrderGiven) {
    const std::vector<CString> scripts = {"z.xml", "b/a.xml", "a.xml", "m.xml", "c.xml", "b/b.xml", "y.xml"};
    for (const int nShards : {1, 2, 3, 7, 9}) {
        std::multiset<CString> all;
        for (int k = 1; k <= nShards; ++k) {
            SScaleOptions scale;
            scale.nShard = k, scale.nShards = nShards;
            const std::vector<CString> shard = ShardScripts(scripts, scale);
            all.insert(shard.begin(), shard.end());
            // Kept in the order given.
            std::vector<std::size_t> places;
            for (const CString& s : shard)
                places.push_back(std::find(scripts.begin(), scripts.end(), s) - scripts.begin());
            EXPECT_TRUE(std::is_sorted(places.begin(), places.end())) << k << "/" << nShards;
        }
        EXPECT_EQ(all, std::multiset<CString>(scripts.begin(), scripts.end())) << nShards;
    }
    // By place after sorting by path, whatever the order given: a.xml b/a.xml b/b.xml c.xml ...
    SScaleOptions scale;
    scale.nShard = 2, scale.nShards = 3;
    EXPECT_EQ(ShardScripts(scripts, scale), (std::vector<CString>{"b/a.xml", "m.xml"}));
}

TEST(LatencyHistogramTest, PercentilesAreWithinThreeSignificantDigits) {
    std::mt19937_64 random(7);
    const struct {
        const char* name;
        std::function<std::uint64_t()> draw;
    } cases[] = {
        {"uniform 0..10 ms", [&] { return random() % 10'000; }},
        {"long tail", [&] { return static_cast<std::uint64_t>(std::exponential_distribution<>(1e-4)(random)); }},
        {"two modes", [&] { return random() % 2 ? 150 + random() % 10 : 80'000'000 + random() % 1000; }},
    };
    for (const auto& c : cases) {
        CLatencyHistogram histogram, half1, half2;
        std::vector<std::uint64_t> samples(20'000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = c.draw();
            (i % 2 ? half1 : half2).Record(samples[i]);
            histogram.Record(samples[i]);
        }
        half1.Add(half2);
        std::sort(samples.begin(), samples.end());
        for (const double p : {50.0, 90.0, 99.0, 99.9, 100.0}) {
            const std::size_t rank = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(p / 100 * samples.size())));
            const double exact = static_cast<double>(samples[rank - 1]);
            const double got = static_cast<double>(histogram.Percentile(p));
            EXPECT_GE(got, exact) << c.name << " p" << p;
            EXPECT_LE(got, exact * 1.001 + 1) << c.name << " p" << p;
            EXPECT_EQ(half1.Percentile(p), histogram.Percentile(p)) << c.name << " merged p" << p;
        }
        EXPECT_EQ(histogram.Max(), samples.back());
        EXPECT_EQ(histogram.Count(), samples.size());
    }
    CLatencyHistogram empty;
    EXPECT_EQ(empty.Percentile(99), 0u);
    empty.Record(CLatencyHistogram::kHighest * 10); // counted at the top, not lost
    EXPECT_EQ(empty.Percentile(50), CLatencyHistogram::kHighest);
}

class ScaleRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
        setenv("TRANVEX_CLIENT_COMPONENT", (std::string(TRANVEX_COMPONENT_DIR) + "/" + CKVTCLientX::clsid + ".so").c_str(), 1);
    }
    void TearDown() override { unsetenv("TRANVEX_CLIENT_COMPONENT"); }

    int Run(std::vector<CString> args) {
        std::string out;
        return tvxtest::RunRunnerInProcess(std::move(args), out, m_err);
    }

    // The real program, its standard error in err.txt; afterStart(pid) runs while it does.
    int Spawn(std::vector<std::string> args, const std::function<void(pid_t)>& afterStart = {}) {
        args.insert(args.begin(), {TRANVEX_RUN_PROGRAM, "--no-log"});
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        if (afterStart)
            afterStart(pid);
        int status = 0;
        waitpid(pid, &status, 0);
        m_err = ReadFile("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }

    tvxtest::CTempDir m_temp{tvxtest::CTempDir::eEnter};
    std::string m_err;
};

// Each test case: script, name, and what failed; times left out.
std::vector<std::string> Verdicts(const std::string& junit) {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_string(junit.c_str())) << junit.substr(0, 200);
    std::vector<std::string> verdicts;
    for (const auto& suite : doc.child("testsuites").children("testsuite"))
        for (const auto& test : suite.children("testcase"))
            verdicts.push_back(std::string(suite.attribute("name").value()) + "|" + test.attribute("name").value() +
                               "|" + test.child("failure").attribute("message").value() + "|" +
                               test.child("error").attribute("message").value());
    return verdicts;
}

TEST_F(ScaleRunTest, ParallelSessionsGiveTheVerdictsOfOneSessionPerScriptInOrder) {
    const CString sample = ReadFile(TRANVEX_SAMPLE_SCRIPT);
    std::vector<CString> scripts;
    for (int i = 0; i < 20; ++i) {
        CString text = sample;
        if (i % 3 == 1) // some fail their checks, some carry tokens a fresh session lacks
            text.replace(text.find("<TStream>") + 9, 0,
                         "\n<!-- Expect: CmdStatus=Declined -->\n<Transaction><TranCode>Sale</TranCode>"
                         "<Amount><Purchase>1.00</Purchase></Amount></Transaction>\n");
        const CString name = std::string("s").append(std::to_string(100 - i)).append(".xml"); // out of sorted order
        tvxtest::WriteFile(m_temp / name, text);
        scripts.push_back(name);
    }
    std::vector<std::string> oneByOne;
    for (const CString& script : scripts) {
        Run({"--junit", "one.xml", script});
        for (std::string& v : Verdicts(ReadFile("one.xml")))
            oneByOne.push_back(std::move(v));
    }
    std::vector<CString> args = {"--jobs", "4", "--junit", "par.xml", "--html", "par.html"};
    args.insert(args.end(), scripts.begin(), scripts.end());
    EXPECT_EQ(Run(args), kExitFailed);
    EXPECT_EQ(Verdicts(ReadFile("par.xml")), oneByOne);
    EXPECT_THAT(m_err, HasSubstr("failed"));

    // Shards 1/3, 2/3, 3/3: every script once, each report naming its shard.
    std::multiset<std::string> sharded;
    for (int k = 1; k <= 3; ++k) {
        const CString shard = std::to_string(k) + "/3";
        std::vector<CString> shardArgs = {"--jobs", "2", "--shard", shard, "--junit", "k.xml", "--html", "k.html"};
        shardArgs.insert(shardArgs.end(), scripts.begin(), scripts.end());
        Run(shardArgs);
        for (std::string& v : Verdicts(ReadFile("k.xml")))
            sharded.insert(std::move(v));
        EXPECT_THAT(ReadFile("k.xml"), HasSubstr("<testsuites name=\"tranvex-run shard " + shard + "\""));
        EXPECT_THAT(ReadFile("k.html"), HasSubstr("shard " + shard));
    }
    EXPECT_EQ(sharded, std::multiset<std::string>(oneByOne.begin(), oneByOne.end()));
}

TEST_F(ScaleRunTest, ALoadRunAtARateSendsOnScheduleAndItsFiguresAddUp) {
    tvxtest::WriteFile(m_temp / "s.xml", ReadFile(TRANVEX_SAMPLE_SCRIPT));
    EXPECT_EQ(Run({"--load", "8", "--duration", "2", "--rate", "200", "--summary", "sum.json", "--html", "l.html",
                   "s.xml"}),
              kExitPassed)
        << m_err;
    // The JSON parses (Python's reader) and its figures hold together.
    const std::string check =
        "python3 -c \"import json,sys; d=json.load(open('sum.json')); l=d['latency_ms'];"
        "assert d['transactions']==d['passed']+d['failed'], d;"
        "assert l['p50']<=l['p90']<=l['p99']<=l['p99_9']<=l['max'], l;"
        "assert sum(c['transactions'] for c in d['by_trancode'].values())==d['transactions'];"
        "assert 380<=d['transactions']<=420, d['transactions']; print('ok')\" > check.txt 2>&1";
    EXPECT_EQ(std::system(check.c_str()), 0) << ReadFile("check.txt");
    EXPECT_THAT(m_err, HasSubstr("p99.9 ms"));
    const std::string page = ReadFile("l.html");
    EXPECT_THAT(page, HasSubstr("aria-label=\"latency over time\""));
    EXPECT_THAT(page, HasSubstr("aria-label=\"latency histogram\""));
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // A failure counts in the figures and is listed in full.
    tvxtest::WriteFile(m_temp / "f.xml", "<?xml version=\"1.0\"?>\n<TStream>\n<!-- Expect: CmdStatus=Nope -->\n"
                                         "<Transaction><TranCode>EchoTest</TranCode></Transaction>\n</TStream>\n");
    EXPECT_EQ(Run({"--load", "2", "--count", "150", "--summary", "f.json", "f.xml"}), kExitFailed);
    const std::string failed = ReadFile("f.json");
    EXPECT_THAT(failed, HasSubstr("\"transactions\": 150,\n  \"passed\": 0,\n  \"failed\": 150"));
    EXPECT_THAT(m_err, HasSubstr("50 more failures, not listed"));
    EXPECT_THAT(failed, HasSubstr("CmdStatus: expected \\\"Nope\\\""));
}

TEST_F(ScaleRunTest, ACallPastTheTimeLimitBreaksOnlyItsSession) {
    setenv("TRANVEX_CLIENT_COMPONENT", TRANVEX_SLEEPY_COMPONENT, 1);
    setenv("TVX_SLEEP_MS", "4000", 1);
    const char kQuick[] = "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction><TranCode>Sale</TranCode></Transaction>\n"
                          "</TStream>\n";
    tvxtest::WriteFile(m_temp / "a.xml", "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction><TranCode>Sleep</TranCode>"
                                         "</Transaction>\n<Transaction><TranCode>Sale</TranCode></Transaction>\n</TStream>\n");
    tvxtest::WriteFile(m_temp / "b.xml", kQuick);
    const struct {
        std::vector<std::string> args;
        const char* b; // what the quick script after it gets
    } cases[] = {
        {{"--timeout", "1", "--junit", "r.xml", "a.xml", "b.xml"}, "b|Block 1||Not run: the component did not answer"},
        {{"--timeout", "1", "--jobs", "2", "--junit", "r.xml", "a.xml", "b.xml"}, "b|Block 1 Sale||"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Spawn(c.args), kExitFailed) << m_err;
        const std::vector<std::string> verdicts = Verdicts(ReadFile("r.xml"));
        ASSERT_EQ(verdicts.size(), 3u);
        EXPECT_THAT(verdicts[0], HasSubstr("No answer within the time limit: the call was given up after 1."));
        EXPECT_THAT(verdicts[1], HasSubstr("Not run: the component did not answer"));
        EXPECT_EQ(verdicts[2], c.b);
    }
    unsetenv("TVX_SLEEP_MS");
}

TEST_F(ScaleRunTest, SigtermMidRunLeavesCompleteReports) {
    setenv("TRANVEX_CLIENT_COMPONENT", TRANVEX_SLEEPY_COMPONENT, 1);
    setenv("TVX_SLEEP_MS", "200", 1);
    CString blocks;
    for (int i = 0; i < 20; ++i)
        blocks += "<Transaction><TranCode>Sleep</TranCode></Transaction>\n";
    tvxtest::WriteFile(m_temp / "s.xml", "<?xml version=\"1.0\"?>\n<TStream>\n" + blocks + "</TStream>\n");
    tvxtest::WriteFile(m_temp / "t.xml", "<?xml version=\"1.0\"?>\n<TStream>\n" + blocks + "</TStream>\n");
    const int status = Spawn({"--junit", "r.xml", "--html", "r.html", "s.xml", "t.xml"}, [](pid_t pid) {
        // Once the first transaction is reported, well before the run could end.
        for (int i = 0; i < 500 && ReadFile("err.txt").find("1/20") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, SIGTERM);
    });
    EXPECT_EQ(status, 128 + SIGTERM) << m_err;
    const std::vector<std::string> verdicts = Verdicts(ReadFile("r.xml"));
    ASSERT_GE(verdicts.size(), 2u);
    EXPECT_EQ(verdicts.front(), "s|Block 1 Sleep||"); // the first one passed
    EXPECT_THAT(verdicts.back(), HasSubstr("Not run: the run was stopped"));
    EXPECT_THAT(ReadFile("r.html"), HasSubstr("</html>"));
    unsetenv("TVX_SLEEP_MS");
}

} // namespace
