// tranvex-run over a generated script of 10,000 sales on the simulated client with JUnit and HTML
// reports, beside the windowless core cycle alone over the same requests, in one run. Wall time: the
// reports' trip to the disk is part of what a user waits for.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "controls/KVTCLientX.h"
#include "controls/TransactionCycle.h"
#include "res/resource.h"
#include "runner/RunnerMain.h"
#include "script/ScriptSplitter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSales = 10000;

struct Workspace {
    fs::path dir;
    fs::path script;
    CStringArray stored;

    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-runner-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        script = dir / "Sales.xml";
        std::ostringstream text;
        text << "<?xml version=\"1.0\"?>\n<TStream>\n";
        for (int i = 1; i <= kSales; ++i)
            text << "<!-- Sale " << i << ". Expect: Approved; AuthCode=*; RecordNo~^R -->\n"
                 << "\t<Transaction>\n\t\t<MerchantID>880012345678</MerchantID>\n\t\t<TranType>Credit</"
                    "TranType>\n"
                 << "\t\t<TranCode>Sale</TranCode>\n\t\t<InvoiceNo>" << i << "</InvoiceNo>\n\t\t<RefNo>" << i
                 << "</RefNo>\n\t\t<Account>\n\t\t\t<AcctNo>4111111111111111</AcctNo>\n\t\t\t<ExpDate>1228</"
                    "ExpDate>\n"
                 << "\t\t</Account>\n\t\t<Amount>\n\t\t\t<Purchase>10.00</Purchase>\n\t\t</Amount>\n"
                 << "\t</Transaction>\n";
        text << "</TStream>\n";
        std::ofstream(script, std::ios::binary) << text.str();
        std::istringstream in(text.str());
        CScriptSplitter(in, [](const CString&) {}).SplitScript(stored);
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

// The cycle alone: each stored request loaded, its fields written back, its text sent to a fresh
// client component, the answer read; tokens carried; nothing checked, reported or logged.
void BM_CoreCycle(benchmark::State& state) {
    const CStringArray& stored = Shared().stored;
    CString status;
    for (auto _ : state) {
        CKVTCLientX client;
        client.Create(IDC_CLIENT_CONTROL);
        CTransactionCycle cycle({});
        CFieldValues carried;
        for (const CString& text : stored) {
            CXmlDocHelper request;
            request.Load(text);
            const CFieldValues fields = LoadedRequestFields(request, carried);
            CTransactionCycle::UpdateRequest(request, fields);
            CString strRequest;
            request.GetXml(strRequest);
            const SCycleAnswer answer = cycle.Submit(&client, strRequest);
            CarryTokens(answer.fields, carried);
            status = answer.fields["CmdStatus"];
        }
    }
    if (status != "Approved")
        state.SkipWithError(("the component answered " + status).c_str());
    state.SetItemsProcessed(state.iterations() * kSales);
}

// The whole program: script cut, notes read and checked, both reports written.
void BM_RunnerWithReports(benchmark::State& state) {
    const Workspace& ws = Shared();
    const std::vector<CString> args = {"--junit",  (ws.dir / "r.xml").string(),
                                       "--html",   (ws.dir / "r.html").string(),
                                       "--no-log", ws.script.string()};
    int status = 0;
    for (auto _ : state) {
        std::FILE* sink = std::fopen("/dev/null", "w");
        status = RunTranvexRun(args, sink, sink, false);
        std::fclose(sink);
    }
    if (status != kExitPassed)
        state.SkipWithError("the run did not pass");
    state.SetItemsProcessed(state.iterations() * kSales);
}

BENCHMARK(BM_CoreCycle)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_RunnerWithReports)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("TRANVEX_COMPONENT_PATH"))
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        for (const char* name : {"BM_CoreCycle", "BM_RunnerWithReports"})
            if (const double ns = reporter.NsOf(name); ns > 0)
                std::printf("%-22s %8.0f transactions/s\n", name, kSales * 1e9 / ns);
        reporter.PrintRatio("tranvex-run of 10,000 sales with JUnit and HTML reports / core cycle",
                            "BM_RunnerWithReports", "BM_CoreCycle", "<= 1 s, <= 2");
    });
}
