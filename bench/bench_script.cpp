// Script load speed: read and split a generated multi-megabyte script, beside a bare getline loop.
#include "script/ScriptSplitter.h"

#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string g_path;
std::int64_t g_bytes = 0;

// About 16 MB: request blocks of all three kinds with comments and blank lines between them.
void WriteScript(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\"?>\r\n<TStream>\r\n";
    for (int i = 0; i < 40000; ++i) {
        const char* kind = i % 3 == 0 ? "Transaction" : i % 3 == 1 ? "Admin" : "Corvane";
        out << "  <!-- request " << i << " -->\r\n  <" << kind << ">\r\n"
            << "    <MerchantID>000000012345</MerchantID>\r\n    <TerminalID>T" << i % 97
            << "</TerminalID>\r\n"
            << "    <TransType>Sale</TransType>\r\n    <RefNo>" << i << "</RefNo>\r\n"
            << "    <Amount>\r\n      <Purchase>" << i % 1000 << ".00</Purchase>\r\n"
            << "      <Gratuity>0.50</Gratuity>\r\n    </Amount>\r\n"
            << "    <AcctNo>4111111111111111</AcctNo>\r\n    <ExpDate>1229</ExpDate>\r\n"
            << "    <Memo>bench line padding to a realistic length</Memo>\r\n"
            << "  </" << kind << ">\r\n\r\n";
    }
    out << "</TStream>\r\n";
    g_bytes = static_cast<std::int64_t>(out.tellp());
}

void BM_GetlineLoop(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream file(g_path);
        std::string line;
        std::size_t total = 0;
        while (std::getline(file, line))
            total += line.size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * g_bytes);
}
BENCHMARK(BM_GetlineLoop)->Unit(benchmark::kMillisecond);

// The least any splitter must do: read every line and keep it, CR LF joined, in one text per block.
void BM_GetlineAndStore(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream file(g_path);
        std::string line;
        std::string text;
        std::vector<std::string> stored;
        while (std::getline(file, line)) {
            text.append(line);
            text.append("\r\n", 2);
            if (line.size() > 2 && line[line.size() - 2] == '>' && line.find("</") == 2) {
                stored.emplace_back(text);
                text.clear();
            }
        }
        benchmark::DoNotOptimize(stored.data());
    }
    state.SetBytesProcessed(state.iterations() * g_bytes);
}
BENCHMARK(BM_GetlineAndStore)->Unit(benchmark::kMillisecond);

void BM_SplitScript(benchmark::State& state) {
    for (auto _ : state) {
        std::ifstream file(g_path);
        CStringArray transactions;
        CScriptSplitter splitter(file, [](const CString&) {});
        splitter.SplitScript(transactions);
        if (transactions.size() != 40000)
            state.SkipWithError("script did not load whole");
        benchmark::DoNotOptimize(transactions.data());
    }
    state.SetBytesProcessed(state.iterations() * g_bytes);
}
BENCHMARK(BM_SplitScript)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    char dir[] = "/tmp/bench_script.XXXXXX";
    if (!mkdtemp(dir))
        return 1;
    g_path = std::string(dir) + "/TStream.xml";
    WriteScript(g_path);

    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove_all(dir);

    char what[64];
    std::snprintf(what, sizeof what, "script load of %.1f MB: split / getline loop", g_bytes / 1e6);
    reporter.PrintRatio(what, "BM_SplitScript", "BM_GetlineLoop", "<= 1.5");
    // No goal: what storing the texts costs by itself, the floor under the split.
    reporter.PrintRatio("getline and store / getline loop", "BM_GetlineAndStore", "BM_GetlineLoop", "-");
    return 0;
}
