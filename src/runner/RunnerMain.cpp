// tranvex-run: options, the session, progress, reports and the exit status.
#include "runner/RunnerMain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "replay/CallRecorder.h"
#include "res/Version.h"
#include "runner/HtmlReport.h"
#include "runner/JUnitReport.h"
#include "runner/LoadRun.h"
#include "runner/Progress.h"
#include "runner/RunUnits.h"
#include "runner/ScriptRunner.h"
#include "runner/ScriptSessions.h"
#include "runner/SessionThreads.h"

namespace {

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

// False, with the reason, when some call could not be written to the cassette.
bool RecordingWritten(const std::shared_ptr<tvxreplay::CCassetteWriter>& cassette, std::FILE* err) {
    const std::string strFailure = cassette ? cassette->Failure() : std::string();
    if (!strFailure.empty())
        std::fprintf(err, "tranvex-run: %s\n", strFailure.c_str());
    return strFailure.empty();
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
    // The cassette is held open here for the whole run: sessions come and go (--jobs, load passes),
    // and the file is emptied only when no one holds it.
    std::shared_ptr<tvxreplay::CCassetteWriter> cassette;
    for (const STargetInfo& row : kTargets) {
        SComponentChoice choice = ChosenComponent(options, row);
        if (!choice.strProblem.empty()) {
            std::fprintf(err, "tranvex-run: %s\n", choice.strProblem.c_str());
            return kExitUsage;
        }
        cassette = choice.recorder;
    }

    const bool bKnownGood = !options.strRecordDir.empty() || !options.strKnownGoodDir.empty();
    if ((bKnownGood && !ScriptNamesAreDistinct(options.scripts, err)) ||
        !PrepareReport(options.strJUnitFile, err) || !PrepareReport(options.strHtmlFile, err) ||
        !PrepareReport(options.scale.strSummaryFile, err))
        return kExitUsage;
    options.scripts = ShardScripts(options.scripts, options.scale);
    std::vector<SRunUnit> units;
    if (CString strProblem; !MakeRunUnits(options, units, strProblem)) {
        std::fprintf(err, "tranvex-run: %s\n", strProblem.c_str());
        return kExitUsage;
    }
    if (options.scale.IsLoadRun()) {
        const int nExit = RunLoad(options, units, err, bErrIsTerminal);
        const bool bRecorded = RecordingWritten(cassette, err);
        return nExit == kExitPassed && !bRecorded ? kExitUsage : nExit;
    }

    const CCardMasker mask(options.bMask);
    const CString strShard = ShardLabel(options.scale);
    const SReportHeading heading{TargetInfo(options.target).pszName, LocalTimeNow(), strShard};
    const auto start = std::chrono::steady_clock::now();
    CProgressPrinter progress(err, bErrIsTerminal, mask);
    const CStopSignals signals;
    CRunLog log(options.bLog, err);
    CScriptSessions sessions(options, units, log.Sink());
    if (CString strProblem; !sessions.Prepare(strProblem)) {
        std::fprintf(err, "tranvex-run: %s\n", mask(strProblem).c_str());
        return kExitUsage;
    }

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
    // In the order given, which the reports keep, whatever order the sessions end them in.
    std::vector<SScriptResult> results(units.size());
    const auto onTransaction = [&](std::size_t nScript, const SScriptResult& script, STransactionResult& t,
                                   int nCount) {
        progress.Transaction(script, t, nCount);
        if (!bJUnit && !bHtml)
            return;
        const CString strMaskedScript = mask(script.strName);
        MaskTransaction(t, mask);
        if (bJUnit)
            junit.Add(nScript, strMaskedScript, t);
        if (bHtml)
            html.Add(nScript, strMaskedScript, t);
        CString().swap(t.strRequest);
        CString().swap(t.strResponse);
    };
    const auto onEnded = [&](std::size_t nScript, SScriptResult& script) {
        progress.ScriptProblems(script);
        results[nScript] = std::move(script);
    };
    sessions.Run(onTransaction, onEnded);
    log.Close();

    int nTotal = 0, nFailed = 0, nUnreadable = 0;
    for (const SScriptResult& script : results) {
        nUnreadable += script.bUnreadable ? 1 : 0;
        nTotal += script.nTransactions;
        nFailed += script.nFailed;
    }
    progress.Finish(nTotal, nFailed, nUnreadable,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());

    for (SScriptResult& script : results)
        MaskScript(script, mask);
    const bool bJUnitWritten = WriteReport(
        options.strJUnitFile, err, [&](std::ostream& file) { return junit.Write(file, results, strShard); });
    const bool bHtmlWritten = WriteReport(
        options.strHtmlFile, err, [&](std::ostream& file) { return html.Write(file, results, heading); });
    const bool bRecorded = RecordingWritten(cassette, err);
    if (const int nSignal = StopSignal(); nSignal != 0)
        return 128 + nSignal;
    if (nUnreadable > 0 || !bJUnitWritten || !bHtmlWritten || !bRecorded)
        return kExitUsage;
    return nFailed > 0 ? kExitFailed : kExitPassed;
}
