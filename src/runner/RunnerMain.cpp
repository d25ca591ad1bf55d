// tranvex-run: options, the session, progress, reports and the exit status.
#include "runner/RunnerMain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "log/LogWriter.h"
#include "res/Version.h"
#include "runner/HtmlReport.h"
#include "runner/JUnitReport.h"
#include "runner/Progress.h"
#include "runner/RunUnits.h"
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

// A report file is made (and an older one emptied) before anything runs: a path that cannot be
// written is found at once, and a run cut short leaves no stale report that looks like this one.
bool PrepareReport(const CString& strFile, std::FILE* err) {
    if (strFile.empty())
        return true;
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(strFile).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    const int fd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0 && ::close(fd) == 0)
        return true;
    std::fprintf(err, "tranvex-run: cannot write %s: %s\n", strFile.c_str(), std::strerror(errno));
    return false;
}

// Known-good answers are kept by script name, so two different scripts of one name would share them.
bool ScriptNamesAreDistinct(const std::vector<CString>& scripts, std::FILE* err) {
    std::map<CString, std::filesystem::path> seen;
    for (const CString& strScript : scripts) {
        std::error_code ec;
        std::filesystem::path path = std::filesystem::weakly_canonical(strScript, ec);
        const auto [it, bNew] = seen.emplace(std::filesystem::path(strScript).stem().string(), path);
        if (!bNew && it->second != path) {
            std::fprintf(err,
                         "tranvex-run: two scripts are named %s: their known-good answers would share one "
                         "folder\n",
                         it->first.c_str());
            return false;
        }
    }
    return true;
}

// write gives false when the report's spooled parts could not be read back.
template <typename Writer> bool WriteReport(const CString& strFile, std::FILE* err, Writer write) {
    if (strFile.empty())
        return true;
    std::ofstream out(strFile, std::ios::binary | std::ios::trunc);
    if (out && !write(out))
        out.setstate(std::ios::failbit);
    if (out.flush())
        return true;
    std::fprintf(err, "tranvex-run: cannot write %s: %s\n", strFile.c_str(), std::strerror(errno));
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
    if (options.bVersion) {
        std::fprintf(out, "Tranvex %s\n", TRANVEX_PRODUCT_VERSION); // as tranvex --version
        return kExitPassed;
    }

    // A component choice that names no usable library stops the run before anything is sent.
    for (const STargetInfo& row : kTargets) {
        if (const SComponentChoice choice = ChosenComponent(options, row); !choice.strProblem.empty()) {
            std::fprintf(err, "tranvex-run: %s\n", choice.strProblem.c_str());
            return kExitUsage;
        }
    }

    const bool bKnownGood = !options.strRecordDir.empty() || !options.strKnownGoodDir.empty();
    if ((bKnownGood && !ScriptNamesAreDistinct(options.scripts, err)) ||
        !PrepareReport(options.strJUnitFile, err) || !PrepareReport(options.strHtmlFile, err))
        return kExitUsage;

    const CCardMasker mask(options.bMask);
    const SReportHeading heading{TargetInfo(options.target).pszName, LocalTimeNow()};
    const auto start = std::chrono::steady_clock::now();
    CProgressPrinter progress(err, bErrIsTerminal, mask);
    std::vector<SRunUnit> units;
    if (CString strProblem; !MakeRunUnits(options, units, strProblem)) {
        std::fprintf(err, "tranvex-run: %s\n", strProblem.c_str());
        return kExitUsage;
    }
    // Each data row gets a session of its own: fresh components, nothing carried.
    const CTransactionCycle::LogSink log = OpenLog(options.bLog, err);
    std::unique_ptr<CScriptRunner> pRunner;
    const auto newSession = [&]() {
        pRunner = std::make_unique<CScriptRunner>(options, log);
        CString strProblem;
        if (options.strServers.empty() || pRunner->StoreServers(options.strServers, strProblem))
            return true;
        std::fprintf(err, "tranvex-run: --servers: %s\n", mask(strProblem).c_str());
        return false;
    };
    if (!newSession())
        return kExitUsage;

    // Each transaction goes into the reports as it ends, masked once, while its texts are at hand;
    // the results keep only what the totals and the summary need.
    const bool bJUnit = !options.strJUnitFile.empty(), bHtml = !options.strHtmlFile.empty();
    CJUnitReport junit;
    CHtmlReport html;
    if (CString strProblem; (bJUnit && !junit.Open(options.strJUnitFile, strProblem)) ||
                            (bHtml && !html.Open(options.strHtmlFile, strProblem))) {
        std::fprintf(err, "tranvex-run: cannot make the reports' working files: %s\n", strProblem.c_str());
        return kExitUsage;
    }
    std::vector<SScriptResult> results; // in the order given, which the reports keep
    CString strMaskedScript; // the name of the script being run, masked, for its transactions' parts
    std::size_t nMaskedScript = SIZE_MAX;
    const auto onTransaction = [&](const SScriptResult& script, STransactionResult& t, int nCount) {
        progress.Transaction(script, t, nCount);
        if (!bJUnit && !bHtml)
            return;
        const std::size_t nScript = results.size(); // the script being run is pushed when it ends
        if (nMaskedScript != nScript) {
            strMaskedScript = mask(script.strName);
            nMaskedScript = nScript;
        }
        MaskTransaction(t, mask);
        if (bJUnit)
            junit.Add(nScript, strMaskedScript, t);
        if (bHtml)
            html.Add(nScript, strMaskedScript, t);
        CString().swap(t.strRequest);
        CString().swap(t.strResponse);
    };

    int nTotal = 0, nFailed = 0, nUnreadable = 0;
    for (std::size_t u = 0; u < units.size(); ++u) {
        const SRunUnit& unit = units[u];
        if (u > 0 && unit.nSession != units[u - 1].nSession && !newSession())
            return kExitUsage;
        pRunner->SetVariables(&unit.variables);
        results.push_back(pRunner->Run(unit.strScript, onTransaction, unit.strSuite));
        const SScriptResult& script = results.back();
        progress.ScriptProblems(script);
        nUnreadable += script.bUnreadable ? 1 : 0;
        nTotal += script.nTransactions;
        nFailed += script.nFailed;
    }
    progress.Finish(nTotal, nFailed, nUnreadable,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    for (SScriptResult& script : results)
        MaskScript(script, mask);
    const bool bJUnitWritten = WriteReport(options.strJUnitFile, err,
                                           [&](std::ostream& file) { return junit.Write(file, results); });
    const bool bHtmlWritten = WriteReport(
        options.strHtmlFile, err, [&](std::ostream& file) { return html.Write(file, results, heading); });
    if (nUnreadable > 0 || !bJUnitWritten || !bHtmlWritten)
        return kExitUsage;
    return nFailed > 0 ? kExitFailed : kExitPassed;
}
