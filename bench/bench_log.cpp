// Daily log: cost of one Write and lines per second to disk, beside spdlog's async file logger.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "log/LogWriter.h"

#ifdef TRANVEX_HAVE_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kCalls = 200000; // timed calls per call-cost run
constexpr int kLines = 200000; // lines per end-to-end run
// A short response, about the size of the status lines the program logs most.
const char kMessage[] =
    "<TranResponse><Status>APPROVED</Status><AuthCode>004211</AuthCode><Amount>12.34</Amount></TranResponse>";

struct SFigures {
    double medianNs = 0, p99Ns = 0, linesPerSec = 0;
};
std::map<std::string, SFigures> g_figures; // by logger name, filled in as the runs finish

struct CBenchDir {
    fs::path path;
    CBenchDir() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-log-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        fs::create_directory(path / "CORVANE_LOGS");
    }
    ~CBenchDir() { fs::remove_all(path); }
};

// Times each call on its own, so the tail shows (a wake-up of the worker, a queue growing).
template <typename Call> void TimeCalls(benchmark::State& state, const char* name, Call call) {
    std::vector<std::int64_t> samples;
    samples.reserve(kCalls);
    for (auto _ : state) {
        const auto start = Steady::now();
        call();
        samples.push_back((Steady::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    const double median = static_cast<double>(samples[samples.size() / 2]);
    const double p99 = static_cast<double>(samples[samples.size() * 99 / 100]);
    state.counters["median_ns"] = median;
    state.counters["p99_ns"] = p99;
    // Repeated runs keep their best, as the lines-to-disk figure does: a busy machine only adds time.
    SFigures& figures = g_figures[name];
    figures.medianNs = figures.medianNs > 0 ? std::min(figures.medianNs, median) : median;
    figures.p99Ns = figures.p99Ns > 0 ? std::min(figures.p99Ns, p99) : p99;
}

// From the first line to the last one on disk (the logger is torn down inside the timing).
template <typename Run> void TimeLines(benchmark::State& state, const char* name, Run run) {
    double best = 0;
    for (auto _ : state) {
        CBenchDir dir;
        const auto start = Steady::now();
        run(dir.path);
        const double seconds = std::chrono::duration<double>(Steady::now() - start).count();
        state.SetIterationTime(seconds);
        best = std::max(best, kLines / seconds);
    }
    g_figures[name].linesPerSec = best;
    state.counters["lines_per_s"] = best;
}

void BM_TranvexWrite(benchmark::State& state) {
    CBenchDir dir;
    CLogWriter writer(dir.path.string());
    TimeCalls(state, "tranvex", [&] { writer.Write("%s", kMessage); });
}

void BM_TranvexLinesToDisk(benchmark::State& state) {
    TimeLines(state, "tranvex", [](const fs::path& base) {
        CLogWriter writer(base.string());
        for (int i = 0; i < kLines; ++i)
            writer.Write("%s", kMessage);
    });
}

BENCHMARK(BM_TranvexWrite)->Iterations(kCalls);
BENCHMARK(BM_TranvexLinesToDisk)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

#ifdef TRANVEX_HAVE_SPDLOG
// The same record layout, queued on the default async pool (8192 slots, block when full).
std::shared_ptr<spdlog::logger> MakeSpdlog(const fs::path& base) {
    spdlog::init_thread_pool(8192, 1);
    auto logger = spdlog::basic_logger_mt<spdlog::async_factory>(
        "bench", (base / "CORVANE_LOGS" / "spdlog.log").string());
    logger->set_pattern("[%H:%M:%S]%v\n----------");
    return logger;
}

void BM_SpdlogWrite(benchmark::State& state) {
    CBenchDir dir;
    auto logger = MakeSpdlog(dir.path);
    TimeCalls(state, "spdlog", [&] { logger->info("{}", kMessage); });
    logger.reset();
    spdlog::shutdown(); // drains the queue and joins the pool's thread
}

void BM_SpdlogLinesToDisk(benchmark::State& state) {
    TimeLines(state, "spdlog", [](const fs::path& base) {
        auto logger = MakeSpdlog(base);
        for (int i = 0; i < kLines; ++i)
            logger->info("{}", kMessage);
        logger.reset();
        spdlog::shutdown();
    });
}

BENCHMARK(BM_SpdlogWrite)->Iterations(kCalls);
BENCHMARK(BM_SpdlogLinesToDisk)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif

void PrintFigures() {
    const SFigures ours = g_figures["tranvex"];
    const SFigures base = g_figures["spdlog"]; // zeros when built without spdlog: no baseline
    auto row = [&](const char* what, double a, double b, const char* unit, const char* goal) {
        const std::string figure = std::to_string(std::lround(a)) + unit;
        PrintFigure(what, figure, b > 0 ? std::to_string(std::lround(b)) + unit : "-", b > 0 ? a / b : 0,
                    goal);
    };
    row("log Write call, median / spdlog async", ours.medianNs, base.medianNs, " ns", "-");
    row("log Write call, 99th percentile / spdlog async", ours.p99Ns, base.p99Ns, " ns", "-");
    row("log lines/s to disk / spdlog async", ours.linesPerSec, base.linesPerSec, " lines/s", "-");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintFigures();
    return 0;
}
