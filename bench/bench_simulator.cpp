// Simulated component speed: a Sale through CSimComponent::Invoke beside CXmlDocHelper Load +
// GetXml of the same request text, the cost the rest of a "Run It" cycle is measured against.
#include "sim/SimComponent.h"
#include "xml/XmlDocHelper.h"

#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <cstdint>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        const std::string what =
            "sale of " + std::to_string(kSale.size()) + " bytes: Invoke / (Load + GetXml) time";
        reporter.PrintRatio(what, "BM_SimSale", "BM_LoadGetXml", "<= 2");
    });
}
