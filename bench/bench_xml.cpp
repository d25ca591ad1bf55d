// Request serialisation speed: CXmlDocHelper Load + GetXml beside pugixml's own load and save.
#include "xml/XmlDocHelper.h"

#include <benchmark/benchmark.h>

#include "RatioReporter.h"
#include <pugixml.hpp>

#include <cstdio>
#include <string>

namespace {

// A stored transaction as the splitter makes it: about twenty elements.
const std::string kRequest = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n  <Transaction>\r\n"
                             "    <MerchantID>000000012345</MerchantID>\r\n"
                             "    <TerminalID>T0042</TerminalID>\r\n"
                             "    <OperatorID>OP1</OperatorID>\r\n"
                             "    <TransType>Sale</TransType>\r\n"
                             "    <TranCode>EMVSale</TranCode>\r\n"
                             "    <InvoiceNo>100045</InvoiceNo>\r\n"
                             "    <RefNo>100045</RefNo>\r\n"
                             "    <Memo>Tranvex bench &amp; test</Memo>\r\n"
                             "    <Amount>\r\n      <Purchase>10.00</Purchase>\r\n"
                             "      <Gratuity>1.50</Gratuity>\r\n      <CashBack>0.00</CashBack>\r\n"
                             "    </Amount>\r\n"
                             "    <Account>\r\n      <AcctNo>4111111111111111</AcctNo>\r\n"
                             "      <ExpDate>1229</ExpDate>\r\n    </Account>\r\n"
                             "    <SequenceNo>0010010010</SequenceNo>\r\n"
                             "    <Frequency>OneTime</Frequency>\r\n"
                             "    <RecordNo>RecordNumberRequested</RecordNo>\r\n"
                             "    <PartialAuth>Allow</PartialAuth>\r\n"
                             "  </Transaction>\r\n</TStream>";

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

void BM_PugiLoadSave(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document doc;
        doc.load_string(kRequest.c_str());
        StringWriter out;
        doc.save(out);
        benchmark::DoNotOptimize(out.text.data());
    }
}
BENCHMARK(BM_PugiLoadSave);

void BM_HelperLoadGetXml(benchmark::State& state) {
    for (auto _ : state) {
        CXmlDocHelper doc;
        CString out;
        if (!doc.Load(kRequest) || !doc.GetXml(out))
            state.SkipWithError("request did not load");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_HelperLoadGetXml);

} // namespace

int main(int argc, char** argv) {
    return RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        const std::string what =
            "request of " + std::to_string(kRequest.size()) + " bytes: helper / pugixml time";
        reporter.PrintRatio(what, "BM_HelperLoadGetXml", "BM_PugiLoadSave", "<= 2");
    });
}
