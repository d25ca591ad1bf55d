// tranvex-run: options, the session, progress, reports and the exit status.
#include "runner/RunnerMain.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>

#include "log/LogWriter.h"
#include "runner/HtmlReport.h"
#include "runner/JUnitReport.h"
#include "runner/Progress.h"
#include "runner/ScriptRunner.h"

namespace {

CString LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

// The window's start-up makes the log directory; so does this program when it logs.
CTransactionCycle::LogSink OpenLog(bool bLog, std::FILE* err) {
    if (!bLog)
        return {};
    if (::mkdir("CORVANE_LOGS", 0777) != 0 && errno != EEXIST) {
        std::fprintf(err, "tranvex-run: Unable to create Log Directory - logging disabled!\n");
        return {};
    }
    return [](const CString& entry) { GetLogWriter()->Write("%s", entry.c_str()); };
}

template <typename Writer> bool WriteReport(const CString& strFile, std::FILE* err, Writer write) {
    if (strFile.empty())
        return true;
    std::ofstream out(strFile, std::ios::binary | std::ios::trunc);
    if (out)
        write(out);
    if (out.flush())
        return true;
    std::fprintf(err, "tranvex-run: cannot write %s\n", strFile.c_str());
    return false;
}

} // namespace

int RunTranvexRun(const std::vector<CString>& args, std::FILE* out, std::FILE* err, bool bErrIsTerminal) {
    SRunnerOptions options;
    CString strError;
    if (!ParseRunnerOptions(args, options, strError)) {
        std::fprintf(err, "tranvex-run: %s\nTry 'tranvex-run --help'.\n", strError.c_str());
        return kExitUsage;
    }
    if (options.bHelp) {
        std::fputs(RunnerUsage(), out);
        return kExitPassed;
    }

    const CCardMasker mask(options.bMask);
    const SReportHeading heading{options.nTarget == 0 ? "client" : "device", LocalTimeNow()};
    const auto start = std::chrono::steady_clock::now();
    CProgressPrinter progress(err, bErrIsTerminal, mask);
    CScriptRunner runner(options, OpenLog(options.bLog, err));

    std::vector<SScriptResult> results;
    bool bUnreadable = false;
    int nTotal = 0, nFailed = 0;
    for (const CString& strScript : options.scripts) {
        results.push_back(
            runner.Run(strScript, [&progress](const SScriptResult& script, const STransactionResult& t,
                                              int nCount) { progress.Transaction(script, t, nCount); }));
        const SScriptResult& script = results.back();
        progress.ScriptProblems(script);
        bUnreadable |= script.bUnreadable;
        nTotal += static_cast<int>(script.transactions.size());
        nFailed += script.FailedCount();
    }
    progress.Finish(nTotal, nFailed,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    if (!options.strJUnitFile.empty() || !options.strHtmlFile.empty())
        MaskResults(results, mask);
    const bool bJUnit =
        WriteReport(options.strJUnitFile, err, [&](std::ostream& file) { WriteJUnitReport(file, results); });
    const bool bHtml = WriteReport(options.strHtmlFile, err,
                                   [&](std::ostream& file) { WriteHtmlReport(file, results, heading); });
    if (bUnreadable || !bJUnit || !bHtml)
        return kExitUsage;
    return nFailed > 0 ? kExitFailed : kExitPassed;
}
