// The load run's sessions, its schedule and its end.
#include "runner/LoadRun.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include <sys/stat.h>

#include "log/LogWriter.h"
#include "runner/CardMasking.h"
#include "runner/LoadFigures.h"
#include "runner/ReportText.h"
#include "runner/ScriptRunner.h"
#include "runner/ScriptSessions.h"
#include "runner/SessionThreads.h"

namespace {

using Clock = std::chrono::steady_clock;

// Everything the session threads touch: a thread left in a call keeps it alive by itself.
struct SLoadShared {
    SRunnerOptions options;
    SComponentChoice choice;                 // of the target's component, made once for every session
    std::map<CString, SReadScript> scripts;  // each read once, before the sessions start
    std::vector<std::vector<SRunUnit>> rows; // the units of each data row; one row without --data
    std::atomic<std::size_t> nNextRow{0};
    CCardMasker mask{true};
    CTransactionCycle::LogSink log;
    Clock::time_point start, end;
    std::atomic<long long> nTicket{0};
    std::atomic<bool> bEnded{false};   // the duration or count is reached: no more tickets
    std::atomic<bool> bStopped{false}; // SIGINT or SIGTERM: not even the tickets already taken
    std::atomic<long long> nLate{0};

    std::mutex mutex;
    bool bClosed = false;
    SLoadFigures figures;

    // Before each block: its ticket, and at --rate its scheduled time, which the latency counts from.
    bool Gate(Clock::time_point& sendAt) {
        if (bEnded || bStopped)
            return false;
        const long long nTicketNow = nTicket.fetch_add(1);
        const auto& scale = options.scale;
        if (scale.nCount > 0 && nTicketNow >= scale.nCount)
            return End();
        if (scale.dRate > 0) {
            const auto scheduled =
                start + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(static_cast<double>(nTicketNow) / scale.dRate));
            if (scale.dDuration > 0 && scheduled >= end)
                return End();
            // Short sleeps, so that a stop is heard while a session waits for its turn. A ticket
            // taken is sent even once the end is reached by a later one.
            for (auto now = Clock::now(); now < scheduled; now = Clock::now()) {
                if (bStopped)
                    return false;
                std::this_thread::sleep_for(
                    std::min<Clock::duration>(scheduled - now, std::chrono::milliseconds(20)));
            }
            if (Clock::now() - scheduled > std::chrono::milliseconds(1))
                ++nLate;
            sendAt = scheduled;
            return true;
        }
        if (scale.dDuration > 0 && Clock::now() >= end)
            return End();
        return true;
    }
    bool End() {
        bEnded = true;
        return false;
    }

    void Session() {
        std::unique_ptr<CScriptRunner> pRunner;
        for (int nPass = 1; !bEnded; ++nPass) {
            // A fresh session: the network component's connections go back to the process's idle
            // ones and the next session's take them again.
            ReleaseSession(std::move(pRunner));
            pRunner = MakeSession(nPass);
            for (const SRunUnit& unit : rows[nNextRow.fetch_add(1) % rows.size()]) {
                if (bEnded || pRunner->Broken())
                    break;
                pRunner->SetVariables(&unit.variables);
                pRunner->Run(
                    scripts.at(unit.strScript),
                    [&](const SScriptResult& script, STransactionResult& t, int) {
                        Record(script.strName, nPass, t);
                    },
                    unit.strSuite);
            }
            if (pRunner->Broken()) { // this session's component did not answer: the others go on
                ReleaseSession(std::move(pRunner));
                std::lock_guard lock(mutex);
                ++figures.nBrokenSessions;
                return;
            }
        }
        ReleaseSession(std::move(pRunner));
    }

    // A session with its servers stored; a list that could not be stored fails as a transaction.
    std::unique_ptr<CScriptRunner> MakeSession(int nPass) {
        auto pRunner = std::make_unique<CScriptRunner>(options, log, choice);
        pRunner->SetCallLimit(options.scale.dTimeout);
        pRunner->SetGate([this](Clock::time_point& sendAt) { return Gate(sendAt); });
        CString strProblem;
        if (!options.strServers.empty() && !pRunner->StoreServers(options.strServers, strProblem)) {
            STransactionResult t;
            t.strName = "Store the server list";
            t.strError = "--servers: " + strProblem;
            Record("", nPass, t);
        }
        return pRunner;
    }

    void Record(const CString& strScript, int nPass, STransactionResult& t) {
        const double dAt = std::chrono::duration<double>(Clock::now() - start).count();
        const bool bListed = !t.Passed();
        if (bListed) // masked before the lock: only failures leave with their texts
            MaskTransaction(t, mask);
        std::lock_guard lock(mutex);
        if (bClosed)
            return;
        figures.Record(bListed ? mask(strScript) : strScript, nPass, t, dAt);
    }
};

template <typename Writer> bool WriteFile(const CString& strFile, std::FILE* err, Writer write) {
    if (strFile.empty())
        return true;
    std::ofstream out(strFile, std::ios::binary | std::ios::trunc);
    write(out);
    if (out.flush())
        return true;
    std::fprintf(err, "tranvex-run: cannot write %s: %s\n", strFile.c_str(), std::strerror(errno));
    return false;
}

} // namespace

int RunLoad(const SRunnerOptions& options, const std::vector<SRunUnit>& units, std::FILE* err,
            bool /*bErrIsTerminal*/) {
    auto pShared = std::make_shared<SLoadShared>();
    SLoadShared& shared = *pShared;
    shared.options = options;
    shared.choice = ChosenComponent(options, TargetInfo(options.target));
    for (const SRunUnit& unit : units) {
        if (shared.rows.empty() || unit.nSession != shared.rows.back().front().nSession)
            shared.rows.emplace_back();
        shared.rows.back().push_back(unit);
        if (!shared.scripts.count(unit.strScript))
            shared.scripts.emplace(unit.strScript, ReadScript(unit.strScript));
    }
    if (shared.rows.empty()) // no data rows: nothing to run, and the run ends at once
        shared.rows.emplace_back();
    shared.mask = CCardMasker(options.bMask);
    const SScaleOptions& scale = options.scale;
    if (!options.strJUnitFile.empty()) {
        std::fprintf(
            err, "tranvex-run: --junit is for a functional run; a load run writes --summary and --html\n");
        return 2;
    }
    CRunLog log(options.bLog, err);
    shared.log = log.Sink();

    SLoadFigures& figures = shared.figures;
    figures.nSessions = scale.nLoadSessions;
    figures.dDuration = scale.dDuration;
    figures.dRate = scale.dRate;
    figures.nCount = scale.nCount;
    figures.strTarget = TargetInfo(options.target).pszName;
    figures.strStarted = LocalTimeNow();
    for (const CString& strScript : shared.options.scripts)
        figures.scripts.push_back(shared.mask(strScript));

    const CStopSignals signals;
    shared.start = Clock::now();
    shared.end = shared.start +
                 std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(scale.dDuration));
    {
        CSessionThreads threads;
        threads.Start(scale.nLoadSessions, [pShared](int) { pShared->Session(); });
        auto nextLine = shared.start + std::chrono::seconds(1);
        threads.Wait([&] {
            if (StopSignal() != 0)
                shared.bStopped = shared.bEnded = true;
            if (const auto now = Clock::now(); now >= nextLine) {
                nextLine += std::chrono::seconds(1);
                std::lock_guard lock(shared.mutex);
                std::fprintf(err, "%.0f s: %lld transactions, %lld failed\n",
                             std::chrono::duration<double>(now - shared.start).count(),
                             figures.overall.nTransactions, figures.overall.nFailed);
            }
            return StopSignal() != 0;
        });
    }
    log.Close();

    std::unique_lock lock(shared.mutex);
    shared.bClosed = true;
    figures.dSeconds = std::chrono::duration<double>(Clock::now() - shared.start).count();
    figures.nLateSends = shared.nLate;
    figures.nStopSignal = StopSignal();
    std::fputs(LoadConsoleSummary(figures).c_str(), err);
    const bool bJson =
        WriteFile(scale.strSummaryFile, err, [&](std::ostream& out) { WriteLoadJson(out, figures); });
    const bool bHtml =
        WriteFile(options.strHtmlFile, err, [&](std::ostream& out) { WriteLoadHtml(out, figures); });
    if (figures.nStopSignal != 0)
        return 128 + figures.nStopSignal;
    if (!bJson || !bHtml)
        return 2;
    return figures.overall.nFailed > 0 || figures.overall.nTransactions == 0 ? 1 : 0;
}
