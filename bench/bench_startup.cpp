// Start-up to the disclaimer: a fresh process running the program's start-up until the disclaimer is
// painted (offscreen), beside a fresh process showing a bare Qt dialog with the same text and buttons.
// Both are this program started again with --startup-child, so both load the same libraries.
#include <benchmark/benchmark.h>

#include "RatioReporter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/DisclaimerDlg.h"
#include "app/TranvexApp.h"
#include "res/Version.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kChildFlag[] = "--startup-child";

// Ends the process once a window called "Disclaimer" has been painted: that is when a user sees it.
class CPaintedExit : public QObject {
protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            if (auto* widget = qobject_cast<QWidget*>(object);
                widget && widget->window()->windowTitle() == "Disclaimer")
                QTimer::singleShot(0, [] { std::_Exit(0); }); // after this paint is done
        return false;
    }
};

int RunChild(int argc, char** argv, const std::string& which) {
    QApplication app(argc, argv);
    CPaintedExit painted;
    app.installEventFilter(&painted);
    QTimer::singleShot(20000, [] { std::_Exit(3); }); // never painted
    if (which == "tranvex") {
        // What main() does before its window, minus the argument checks.
        QApplication::setApplicationName(QStringLiteral("Tranvex"));
        QApplication::setApplicationVersion(QString::fromLatin1(TRANVEX_PRODUCT_VERSION));
        CTranvexApp().InitInstance();
    } else {
        QDialog dlg;
        dlg.setWindowTitle(QStringLiteral("Disclaimer"));
        auto* layout = new QVBoxLayout(&dlg);
        layout->addWidget(new QLabel(QString::fromUtf8(CDisclaimerDlg::DisclaimerText)));
        auto* buttons = new QDialogButtonBox;
        buttons->addButton(QStringLiteral("I AGREE"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        dlg.exec();
    }
    return 4; // the dialog closed without being painted
}

void StartChild(benchmark::State& state, const char* which) {
    std::string self = "/proc/self/exe", flag = kChildFlag, kind = which;
    char* args[] = {self.data(), flag.data(), kind.data(), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, args, environ) != 0 ||
            ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError((kind + " did not reach its dialog").c_str());
            break;
        }
    }
}

void BM_BareQtDialog(benchmark::State& state) {
    StartChild(state, "bare");
}
void BM_StartupToDisclaimer(benchmark::State& state) {
    StartChild(state, "tranvex");
}

BENCHMARK(BM_BareQtDialog)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_StartupToDisclaimer)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return RunChild(argc, argv, argv[2]);

    // The children start in a folder of their own: nothing they might write lands elsewhere.
    std::string pattern = (fs::temp_directory_path() / "tranvex-bench-startup-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    fs::current_path(dir);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 0); // as a desktop session has it; else Qt warns every start
    const int status = RunBenchmarks(argc, argv, [](const CRatioReporter& reporter) {
        reporter.PrintRatio("start-up to the disclaimer / bare Qt dialog", "BM_StartupToDisclaimer",
                            "BM_BareQtDialog", "<= 1.3");
    });
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return status;
}
