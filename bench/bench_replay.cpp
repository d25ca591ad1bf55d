// Replaying a cassette of 10,000 recorded sales beside the in-process simulator answering the same
// requests, in one run; recording on top of the simulator is shown for comparison.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include "sim/SimComponent.h"
#include "controls/PaymentTargets.h"
#include "replay/CallRecorder.h"
#include "replay/ReplayComponent.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSales = 10000;
const STargetInfo& kClient = TargetInfo(ETarget::Client);

struct Workspace {
    fs::path dir;
    std::string tape;
    std::vector<DispArgs> calls;

    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-replay-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        tape = (dir / "sales.tape").string();
        for (int i = 1; i <= kSales; ++i) {
            const std::string n = std::to_string(i);
            calls.push_back({"<?xml version=\"1.0\"?>\n<TStream>\n\t<Transaction>\n\t\t<MerchantID>880012345678"
                             "</MerchantID>\n\t\t<TranType>Credit</TranType>\n\t\t<TranCode>Sale</TranCode>\n"
                             "\t\t<InvoiceNo>" + n + "</InvoiceNo>\n\t\t<RefNo>" + n +
                                 "</RefNo>\n\t\t<Account>\n\t\t\t<AcctNo>4111111111111111</AcctNo>\n"
                                 "\t\t\t<ExpDate>1228</ExpDate>\n\t\t</Account>\n\t\t<Amount>\n"
                                 "\t\t\t<Purchase>10.00</Purchase>\n\t\t</Amount>\n\t</Transaction>\n</TStream>\n",
                             std::int16_t{0}, std::string(), std::string("TRANVEX")});
        }
        std::string problem;
        auto writer = tvxreplay::CCassetteWriter::Open(tape, problem);
        tvxreplay::CRecordingComponent recorder(std::make_unique<tvxsim::CSimComponent>(kClient), kClient, writer);
        for (const DispArgs& args : calls)
            recorder.Invoke(kClient.dispids.nSubmitRequest, args);
    }
    ~Workspace() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Workspace& Shared() {
    static Workspace workspace;
    return workspace;
}

template <typename Make> void AnswerAll(benchmark::State& state, Make make) {
    const Workspace& ws = Shared();
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::unique_ptr<IComponent> component = make(ws);
        for (const DispArgs& args : ws.calls)
            bytes += component->Invoke(kClient.dispids.nSubmitRequest, args).size();
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kSales);
}

// A fresh simulated client per run, as a session starts with one.
void BM_Simulator(benchmark::State& state) {
    AnswerAll(state, [](const Workspace&) { return std::make_unique<tvxsim::CSimComponent>(kClient); });
}

// The cassette read from its file, indexed, and every call answered from it.
void BM_Replay(benchmark::State& state) {
    AnswerAll(state, [](const Workspace& ws) -> std::unique_ptr<IComponent> {
        std::string problem;
        auto cassette = tvxreplay::LoadCassette(ws.tape, kClient, problem);
        if (!cassette)
            std::abort();
        return std::make_unique<tvxreplay::CReplayComponent>(kClient, cassette, tvxreplay::CIgnoredNames{});
    });
}

// The same, with an element left out of the comparison (every request is rewritten once).
void BM_ReplayIgnoring(benchmark::State& state) {
    AnswerAll(state, [](const Workspace& ws) -> std::unique_ptr<IComponent> {
        std::string problem;
        auto cassette = tvxreplay::LoadCassette(ws.tape, kClient, problem);
        return std::make_unique<tvxreplay::CReplayComponent>(kClient, cassette,
                                                             tvxreplay::ParseIgnoredNames("RefNo"));
    });
}

// The simulator inside the recorder, writing the cassette as it goes.
void BM_SimulatorRecorded(benchmark::State& state) {
    AnswerAll(state, [](const Workspace& ws) -> std::unique_ptr<IComponent> {
        std::string problem;
        return std::make_unique<tvxreplay::CRecordingComponent>(
            std::make_unique<tvxsim::CSimComponent>(kClient), kClient,
            tvxreplay::CCassetteWriter::Open((ws.dir / "again.tape").string(), problem));
    });
}

BENCHMARK(BM_Simulator)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_Replay)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_ReplayIgnoring)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_SimulatorRecorded)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        reporter.PrintRatio("replay of 10,000 recorded sales / the simulator answering them", "BM_Replay",
                            "BM_Simulator", "<= 1.5");
        reporter.PrintRatio("replay ignoring one element / the simulator", "BM_ReplayIgnoring", "BM_Simulator",
                            "<= 1.5");
        reporter.PrintRatio("the simulator recorded / the simulator", "BM_SimulatorRecorded", "BM_Simulator", "-");
    });
}
