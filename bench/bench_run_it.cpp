// A whole Run It cycle on the simulated client (boxes → request text → component → response parse →
// twelve response boxes), beside Load + GetXml of the same request alone, in one run.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <QApplication>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/TranvexDlg.h"
#include "controls/KVTCLientX.h"
#include "platform/ComponentLibrary.h"
#include "platform/MessageBox.h"
#include "res/resource.h"
#include "xml/XmlDocHelper.h"

namespace fs = std::filesystem;

namespace {

const char kScript[] = "<?xml version=\"1.0\"?>\n"
                       "<TStream>\n"
                       "\t<Transaction>\n"
                       "\t\t<MerchantID>880012345678</MerchantID>\n"
                       "\t\t<TerminalID>001</TerminalID>\n"
                       "\t\t<OperatorID>test</OperatorID>\n"
                       "\t\t<TranType>Credit</TranType>\n"
                       "\t\t<TranCode>Sale</TranCode>\n"
                       "\t\t<InvoiceNo>1001</InvoiceNo>\n"
                       "\t\t<RefNo>1001</RefNo>\n"
                       "\t\t<Memo>bench</Memo>\n"
                       "\t\t<Account>\n"
                       "\t\t\t<AcctNo>4111111111111111</AcctNo>\n"
                       "\t\t\t<ExpDate>1228</ExpDate>\n"
                       "\t\t</Account>\n"
                       "\t\t<Amount>\n"
                       "\t\t\t<Purchase>10.00</Purchase>\n"
                       "\t\t</Amount>\n"
                       "\t</Transaction>\n"
                       "</TStream>\n";


const char kBatchClose[] = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Admin>\r\n"
                           "\t\t<MerchantID>880012345678</MerchantID>\r\n\t\t<TranCode>BatchClose</TranCode>\r\n"
                           "\t</Admin>\r\n</TStream>\r\n";

struct Session {
    fs::path dir;
    std::unique_ptr<CMessageBoxHookGuard> boxes;
    std::unique_ptr<CTranvexDlg> dlg;
    std::string firstMessage;

    Session() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-runit-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        fs::current_path(dir);
        boxes = std::make_unique<CMessageBoxHookGuard>([this](const CString& text, UINT) {
            if (firstMessage.empty())
                firstMessage = text;
            return IDOK;
        });
        std::ofstream(dir / "TStream.xml") << kScript;
        dlg = std::make_unique<CTranvexDlg>();
        dlg->OnInitDialog();
        dlg->m_strXmlPath = (dir / "TStream.xml").string();
        dlg->OnReloadFile();
        dlg->CheckDlgButton(IDC_TARGET_CLIENT, BST_CHECKED);
    }
    ~Session() {
        dlg.reset();
        fs::current_path(fs::temp_directory_path());
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};


void BM_RunItCycle(benchmark::State& state) {
    Session session;
    int invoice = 1000;
    for (auto _ : state) {
        session.dlg->SetDlgItemText(IDC_REQ_REFNO, std::to_string(++invoice));
        session.dlg->OnRunIt();
        if (invoice % 1000 == 0) {
            // An operator settles the batch now and then; the simulator keeps open sales until then.
            state.PauseTiming();
            session.dlg->m_ctlClient.SubmitRequest(kBatchClose, 0, "", "TRANVEX");
            state.ResumeTiming();
        }
    }
    const std::string status = session.dlg->GetDlgItemText(IDC_RESP_CMDSTATUS);
    if (status != "Approved" || !session.firstMessage.empty())
        state.SkipWithError(("the run did not complete: " + status + " " + session.firstMessage + " " +
                             session.dlg->GetDlgItemText(IDC_RESP_TEXT))
                                .c_str());
    state.SetItemsProcessed(state.iterations());
}

void BM_LoadAndGetXml(benchmark::State& state) {
    Session session;
    const std::string request = session.dlg->m_arrTransactions.at(0);
    CXmlDocHelper helper;
    CString out;
    for (auto _ : state) {
        helper.Load(request);
        helper.GetXml(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

// The same steps without the window: field values into the request, its text, the component, the
// response parsed and read twelve times. No boxes are laid out and nothing is logged.
void BM_CoreCycle(benchmark::State& state) {
    Session session; // for the stored request text and a settled working directory
    CXmlDocHelper request;
    request.Load(session.dlg->m_arrTransactions.at(0));
    std::unique_ptr<IComponent> client = LoadComponentLibrary(CKVTCLientX::clsid);
    const char* const responseFields[] = {"RefNo",     "AuthCode",   "ResponseOrigin", "CmdStatus",
                                          "TextResponse", "Purchase", "Gratuity",     "Authorize",
                                          "AcqRefData", "ProcessData", "RecordNo",     "Balance"};
    int invoice = 1000;
    CString text, status;
    for (auto _ : state) {
        request.SetValue("RefNo", std::to_string(++invoice));
        request.SetValue("Purchase", "10.00");
        request.GetXml(text);
        const std::string answer = client->Invoke(TargetInfo(ETarget::Client).dispids.nSubmitRequest,
                                                  {text, std::int16_t(0), std::string(), std::string("TRANVEX")});
        CXmlDocHelper response;
        response.Load(answer);
        for (const char* name : responseFields)
            benchmark::DoNotOptimize(response.GetValue(name));
        status = response.GetValue("CmdStatus");
        if (invoice % 1000 == 0) {
            state.PauseTiming();
            client->Invoke(TargetInfo(ETarget::Client).dispids.nSubmitRequest,
                           {std::string(kBatchClose), std::int16_t(0), std::string(), std::string("TRANVEX")});
            state.ResumeTiming();
        }
    }
    if (status != "Approved")
        state.SkipWithError(("the component answered " + status).c_str());
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_LoadAndGetXml)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_CoreCycle)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_RunItCycle)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!std::getenv("TRANVEX_COMPONENT_PATH"))
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double baseline = reporter.NsOf("BM_LoadAndGetXml");
    for (auto [what, name] : {std::pair{"Run It cycle without the window / Load + GetXml", "BM_CoreCycle"},
                              std::pair{"Run It cycle in the window / Load + GetXml", "BM_RunItCycle"}}) {
        const double cycle = reporter.NsOf(name);
        if (baseline > 0 && cycle > 0)
            PrintFigure(what, FormatNs(cycle) + " (" + std::to_string(std::lround(1e9 / cycle)) + " transactions/s)",
                        FormatNs(baseline), cycle / baseline, "<= 4");
    }
    return 0;
}
