// Simulated component speed: a Sale through CSimComponent::Invoke beside CXmlDocHelper Load +
// GetXml of the same request text, the cost the rest of a "Run It" cycle is measured against.
#include "sim/SimComponent.h"
#include "xml/XmlDocHelper.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace {

const std::string kSale = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Transaction>\r\n"
                          "\t\t<MerchantID>880012345678</MerchantID>\r\n"
                          "\t\t<TerminalID>001</TerminalID>\r\n"
                          "\t\t<OperatorID>TEST</OperatorID>\r\n"
                          "\t\t<TranType>Credit</TranType>\r\n"
                          "\t\t<TranCode>Sale</TranCode>\r\n"
                          "\t\t<InvoiceNo>1001</InvoiceNo>\r\n"
                          "\t\t<RefNo>1001</RefNo>\r\n"
                          "\t\t<Memo>bench</Memo>\r\n"
                          "\t\t<Account>\r\n"
                          "\t\t\t<AcctNo>4111111111111111</AcctNo>\r\n"
                          "\t\t\t<ExpDate>1228</ExpDate>\r\n"
                          "\t\t</Account>\r\n"
                          "\t\t<Amount>\r\n"
                          "\t\t\t<Purchase>10.00</Purchase>\r\n"
                          "\t\t</Amount>\r\n"
                          "\t</Transaction>\r\n</TStream>\r\n";

const std::string kBatchClose = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Admin>\r\n"
                                "\t\t<MerchantID>880012345678</MerchantID>\r\n"
                                "\t\t<TranCode>BatchClose</TranCode>\r\n"
                                "\t</Admin>\r\n</TStream>\r\n";

constexpr int kSubmitRequest = 1; // client component
constexpr int kSalesPerBatch = 1000;

void BM_LoadGetXml(benchmark::State& state) {
    for (auto _ : state) {
        CXmlDocHelper doc;
        CString out;
        if (!doc.Load(kSale) || !doc.GetXml(out))
            state.SkipWithError("request did not load");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_LoadGetXml);

std::string Submit(tvxsim::CSimComponent& component, const std::string& request) {
    return component.Invoke(kSubmitRequest,
                            {request, std::int16_t(0), std::string(), std::string("TRANVEX")});
}

void BM_SimSale(benchmark::State& state) {
    tvxsim::CSimComponent component(tvxsim::ESimKind::Client);
    if (Submit(component, kSale).find("<CmdStatus>Approved</CmdStatus>") == std::string::npos)
        state.SkipWithError("the sale was not approved");
    int sales = 1;
    for (auto _ : state) {
        // Closing keeps the record store from filling up; it is not what is measured.
        if (sales++ % kSalesPerBatch == 0) {
            state.PauseTiming();
            Submit(component, kBatchClose);
            state.ResumeTiming();
        }
        std::string answer = Submit(component, kSale);
        benchmark::DoNotOptimize(answer.data());
    }
}
BENCHMARK(BM_SimSale);

// Keeps each benchmark's CPU time (steadier than wall time on a shared machine) for the ratio: the
// median when repeated (--benchmark_repetitions), else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !m_medians.count(run.run_name.function_name))
                m_times[run.run_name.function_name] = run.GetAdjustedCPUTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_times[run.run_name.function_name] = run.GetAdjustedCPUTime();
                m_medians[run.run_name.function_name] = true;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_times;
    std::map<std::string, bool> m_medians;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto base = reporter.m_times.find("BM_LoadGetXml");
    const auto sale = reporter.m_times.find("BM_SimSale");
    if (base != reporter.m_times.end() && sale != reporter.m_times.end())
        std::printf("sale of %zu bytes: Invoke / (Load + GetXml) time ratio %.2f (goal <= 2)\n", kSale.size(),
                    sale->second / base->second);
    return 0;
}
