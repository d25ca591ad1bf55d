// Response scan throughput over a typical approved transaction response, beside a memmem search for
// the same tags in the same text: the least a scan by tag can cost.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "controls/ResponseScanner.h"

namespace {

const std::string kResponse = "<?xml version=\"1.0\"?>\r\n<RStream>\r\n\t<CmdResponse>\r\n"
                              "\t\t<ResponseOrigin>Processor</ResponseOrigin>\r\n"
                              "\t\t<KVTXReturnCode>000000</KVTXReturnCode>\r\n"
                              "\t\t<CmdStatus>Approved</CmdStatus>\r\n"
                              "\t\t<TextResponse>APPROVED</TextResponse>\r\n"
                              "\t\t<UserTraceData>bench</UserTraceData>\r\n"
                              "\t</CmdResponse>\r\n\t<TranResponse>\r\n"
                              "\t\t<MerchantID>880012345678</MerchantID>\r\n"
                              "\t\t<TerminalID>001</TerminalID>\r\n"
                              "\t\t<OperatorID>TEST</OperatorID>\r\n"
                              "\t\t<AcctNo>XXXXXXXXXXXX1111</AcctNo>\r\n"
                              "\t\t<ExpDate>XXXX</ExpDate>\r\n"
                              "\t\t<CardType>VISA</CardType>\r\n"
                              "\t\t<TranCode>Sale</TranCode>\r\n"
                              "\t\t<AuthCode>VZFU5U</AuthCode>\r\n"
                              "\t\t<CaptureStatus>Captured</CaptureStatus>\r\n"
                              "\t\t<RefNo>0042</RefNo>\r\n"
                              "\t\t<InvoiceNo>42</InvoiceNo>\r\n"
                              "\t\t<AVSResult>Y</AVSResult>\r\n"
                              "\t\t<Memo>Tranvex bench</Memo>\r\n"
                              "\t\t<Amount>\r\n\t\t\t<Purchase>10.00</Purchase>\r\n"
                              "\t\t\t<Authorize>10.00</Authorize>\r\n\t\t</Amount>\r\n"
                              "\t\t<AcqRefData>b001c000001dVZFU5U</AcqRefData>\r\n"
                              "\t\t<ProcessData>|00|718577725527</ProcessData>\r\n"
                              "\t\t<RecordNo>R92083E4D000001</RecordNo>\r\n"
                              "\t</TranResponse>\r\n</RStream>\r\n";

// Every tag the scan looks for, each searched from the start of the text.
const std::vector<std::string>& Tags() {
    static const std::vector<std::string> tags = [] {
        std::vector<std::string> out = {"<RStream>", "<CmdResponse>", "</CmdResponse>", "<TranResponse>"};
        for (const char* name :
             {"ResponseOrigin", "KVTXReturnCode", "CmdStatus", "TextResponse", "UserTraceData", "MerchantID",
              "TerminalID", "OperatorID", "TranCode", "AcctNo", "ExpDate", "CardType", "AuthCode",
              "CaptureStatus", "RefNo", "UserTraceData", "AVSResult", "Memo"}) {
            out.push_back(std::string("<") + name + ">");
            out.push_back(std::string("</") + name + ">");
        }
        return out;
    }();
    return tags;
}

void BM_MemmemTags(benchmark::State& state) {
    for (auto _ : state) {
        std::size_t found = 0;
        for (const std::string& tag : Tags())
            found += ::memmem(kResponse.data(), kResponse.size(), tag.data(), tag.size()) != nullptr;
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * kResponse.size());
}
BENCHMARK(BM_MemmemTags);

void BM_ScanResponse(benchmark::State& state) {
    CParsedResponse response;
    for (auto _ : state) {
        if (!ScanResponse(kResponse, response, nullptr) || response.m_strMemo != "Tranvex bench")
            state.SkipWithError("the response did not scan");
        benchmark::DoNotOptimize(response.m_strAuthCode.data());
    }
    state.SetBytesProcessed(state.iterations() * kResponse.size());
}
BENCHMARK(BM_ScanResponse);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        reporter.PrintRatio("response scan / memmem of the same tags", "BM_ScanResponse", "BM_MemmemTags", "-");
    });
}
