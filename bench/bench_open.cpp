// Opening a 50 MB script in the window: Re-Load FIle on the real main window (offscreen) until the
// first request is in the request boxes and painted, beside a std::getline loop over the same file.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/TranvexDlg.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "res/resource.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kScriptBytes = 50'000'000;

// The sample script's blocks repeated to 50 MB, and a main window that has run its initialisation, in
// a temporary working directory of its own.
struct SSession {
    fs::path dir, script;
    std::int64_t bytes = 0;
    std::size_t blocks = 0; // requests the whole script holds
    std::string firstMessage;
    std::unique_ptr<CLogWriter> writer;
    std::unique_ptr<CLogWriterOverride> writerOverride;
    std::unique_ptr<CMessageBoxHookGuard> boxes;
    std::unique_ptr<CTranvexDlg> dlg;

    SSession() {
        std::string pattern = (fs::temp_directory_path() / "tranvex-bench-open-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        fs::current_path(dir);
        writer = std::make_unique<CLogWriter>(dir.string());
        writerOverride = std::make_unique<CLogWriterOverride>(writer.get());
        boxes = std::make_unique<CMessageBoxHookGuard>([this](const CString& text, UINT) {
            if (firstMessage.empty())
                firstMessage = text;
            return IDOK;
        });
        dlg = std::make_unique<CTranvexDlg>();
        dlg->OnInitDialog();
        dlg->show();
        QApplication::processEvents();

        // The sample once, for the number of requests between <TStream> and </TStream>.
        const fs::path sample = fs::path(TRANVEX_SOURCE_DIR) / "examples" / "TStream.xml";
        dlg->m_strXmlPath = sample.string();
        dlg->OnReloadFile();
        const std::size_t perCopy = dlg->m_arrTransactions.size();

        std::ostringstream in;
        in << std::ifstream(sample, std::ios::binary).rdbuf();
        const std::string text = in.str();
        const std::size_t bodyAt = text.find('\n', text.find("<TStream>")) + 1;
        const std::size_t endAt = text.rfind("</TStream>");
        const std::string body = text.substr(bodyAt, endAt - bodyAt);
        script = dir / "TStream.xml";
        std::ofstream out(script, std::ios::binary);
        out << text.substr(0, bodyAt);
        while (static_cast<std::size_t>(out.tellp()) + body.size() < kScriptBytes) {
            out << body;
            blocks += perCopy;
        }
        out << text.substr(endAt);
        bytes = static_cast<std::int64_t>(out.tellp());
        dlg->m_strXmlPath = script.string();
    }
    ~SSession() {
        dlg.reset();
        boxes.reset();
        writerOverride.reset();
        writer.reset();
        fs::current_path(fs::temp_directory_path());
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// Made by the first benchmark that runs; gone before the application is.
std::unique_ptr<SSession> g_session;

SSession& Shared() {
    if (!g_session)
        g_session = std::make_unique<SSession>();
    return *g_session;
}

void BM_GetlineLoop(benchmark::State& state) {
    const SSession& session = Shared();
    for (auto _ : state) {
        std::ifstream file(session.script);
        std::string line;
        std::size_t total = 0;
        while (std::getline(file, line))
            total += line.size();
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * session.bytes);
}

// From the Re-Load FIle press on a window with no script in it to the first request painted.
void BM_OpenInWindow(benchmark::State& state) {
    SSession& session = Shared();
    CTranvexDlg& dlg = *session.dlg;
    for (auto _ : state) {
        state.PauseTiming();
        CStringArray().swap(dlg.m_arrTransactions);
        state.ResumeTiming();
        dlg.OnReloadFile();
        QApplication::processEvents();
    }
    if (dlg.m_arrTransactions.size() != session.blocks || dlg.m_nCurrent != 0 ||
        dlg.GetDlgItemText(IDC_REQ_TRANCODE) != "EchoTest" || !session.firstMessage.empty())
        state.SkipWithError(
            ("the script did not open whole: " + std::to_string(dlg.m_arrTransactions.size()) +
             " requests; " + session.firstMessage)
                .c_str());
    state.SetBytesProcessed(state.iterations() * session.bytes);
}

BENCHMARK(BM_GetlineLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenInWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int status = RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        char what[80];
        std::snprintf(what, sizeof what, "%.0f MB script opened in the window / getline loop",
                      g_session ? g_session->bytes / 1e6 : 0.0);
        reporter.PrintRatio(what, "BM_OpenInWindow", "BM_GetlineLoop", "<= 1 s, <= 3");
    });
    g_session.reset();
    return status;
}
