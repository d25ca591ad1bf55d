// Spreading a functional run's scripts over sessions on threads.
#include "runner/ScriptSessions.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>

#include <sys/stat.h>

#include <cerrno>

#include "log/LogWriter.h"
#include "runner/ScriptRunner.h"
#include "runner/SessionThreads.h"

struct CRunLog::SShared {
    std::mutex mutex;
    CLogWriter* pWriter = nullptr; // null once closed, or when nothing is logged
};

CRunLog::CRunLog(bool bLog, std::FILE* err) : m_pShared(std::make_shared<SShared>()) {
    if (!bLog)
        return;
    // The window's start-up makes the log directory; so does this program when it logs.
    if (::mkdir("CORVANE_LOGS", 0777) != 0 && errno != EEXIST) {
        std::fprintf(err, "tranvex-run: Unable to create Log Directory - logging disabled!\n");
        return;
    }
    m_pShared->pWriter = CurrentLogWriterOverride();
    if (!m_pShared->pWriter) {
        m_pOwnWriter = std::make_unique<CLogWriter>();
        m_pShared->pWriter = m_pOwnWriter.get();
    }
}

CRunLog::~CRunLog() {
    Close();
} // then the own writer writes what is queued

CTransactionCycle::LogSink CRunLog::Sink() const {
    if (!m_pShared->pWriter)
        return {};
    return [pShared = m_pShared](const CString& entry) {
        std::lock_guard lock(pShared->mutex);
        if (pShared->pWriter)
            pShared->pWriter->Write("%s", entry.c_str());
    };
}

void CRunLog::Close() {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->pWriter = nullptr;
}

// Everything a session thread touches: a thread left in a call keeps it alive by itself.
struct CScriptSessions::SShared {
    SRunnerOptions options;
    SComponentChoice choice; // of the target's component, made once for every session
    std::vector<SRunUnit> units;
    CTransactionCycle::LogSink log;
    std::unique_ptr<CScriptRunner> pFirst; // the one session without --jobs (of one data row)
    int nFirstSession = 0;                 // the data row pFirst is the session of
    std::atomic<std::size_t> nNext{0};
    std::atomic<bool> bStop{false};

    std::mutex mutex; // the callbacks and what follows
    bool bClosed = false;
    Transaction transaction;
    Ended ended;
    std::vector<SScriptResult> sofar; // each script's counts as far as it got
    std::vector<bool> done;

    std::unique_ptr<CScriptRunner> MakeSession(CString& strProblem) {
        auto pRunner = std::make_unique<CScriptRunner>(options, log, choice);
        pRunner->SetCallLimit(options.scale.dTimeout);
        pRunner->SetStop(&bStop);
        if (!options.strServers.empty() && !pRunner->StoreServers(options.strServers, strProblem))
            strProblem = "--servers: " + strProblem;
        return pRunner;
    }
    void NameScript(SScriptResult& script, std::size_t nScript) const {
        const SRunUnit& unit = units[nScript];
        script.strPath = unit.strScript;
        script.strName =
            unit.strSuite.empty() ? std::filesystem::path(unit.strScript).stem().string() : unit.strSuite;
    }
    void RunScript(CScriptRunner& runner, std::size_t nScript, const CString& strProblem) {
        SScriptResult script;
        if (!strProblem.empty()) { // the session's servers could not be stored: the script fails so
            NameScript(script, nScript);
            STransactionResult t;
            t.nNumber = 1;
            t.strName = "Store the server list";
            t.strError = strProblem;
            script.Count(t);
            std::lock_guard lock(mutex);
            if (bClosed)
                return;
            transaction(nScript, script, t, 1);
        } else {
            const SRunUnit& unit = units[nScript];
            runner.SetVariables(&unit.variables);
            script = runner.Run(
                unit.strScript,
                [&](const SScriptResult& s, STransactionResult& t, int nTotal) {
                    std::lock_guard lock(mutex);
                    if (bClosed)
                        return;
                    transaction(nScript, s, t, nTotal);
                    SScriptResult& counts = sofar[nScript];
                    counts.strPath = s.strPath, counts.strName = s.strName;
                    counts.nTransactions = s.nTransactions, counts.nFailed = s.nFailed,
                    counts.nErrors = s.nErrors;
                },
                unit.strSuite);
        }
        std::lock_guard lock(mutex);
        if (bClosed)
            return;
        ended(nScript, script);
        done[nScript] = true;
    }
    void Session(int /*nSession*/) {
        for (;;) {
            const std::size_t nScript = nNext.fetch_add(1);
            if (nScript >= units.size())
                return;
            CString strProblem;
            if (pFirst) {
                // Each data row starts a fresh session: fresh components, nothing carried.
                if (units[nScript].nSession != nFirstSession) {
                    ReleaseSession(std::move(pFirst));
                    pFirst = MakeSession(strProblem);
                    nFirstSession = units[nScript].nSession;
                }
                RunScript(*pFirst, nScript, strProblem);
                continue;
            }
            std::unique_ptr<CScriptRunner> pRunner = MakeSession(strProblem);
            RunScript(*pRunner, nScript, strProblem);
            ReleaseSession(std::move(pRunner));
        }
    }
};

CScriptSessions::CScriptSessions(const SRunnerOptions& options, std::vector<SRunUnit> units,
                                 CTransactionCycle::LogSink log)
    : m_pShared(std::make_shared<SShared>()) {
    m_pShared->options = options;
    m_pShared->choice = ChosenComponent(options, TargetInfo(options.target));
    m_pShared->units = std::move(units);
    m_pShared->log = std::move(log);
}

CScriptSessions::~CScriptSessions() {
    if (m_pShared.use_count() == 1 && m_pShared->pFirst)
        ReleaseSession(std::move(m_pShared->pFirst));
    else if (m_pShared->pFirst)
        (void)m_pShared->pFirst.release(); // still used by a thread left in a call
}

bool CScriptSessions::Prepare(CString& strProblem) {
    if (m_pShared->options.scale.nJobs > 0) {
        // Each script gets a session of its own; one is made now only to check --servers.
        if (m_pShared->options.strServers.empty())
            return true;
        std::unique_ptr<CScriptRunner> pProbe = m_pShared->MakeSession(strProblem);
        ReleaseSession(std::move(pProbe));
        return strProblem.empty();
    }
    m_pShared->pFirst = m_pShared->MakeSession(strProblem);
    m_pShared->nFirstSession = m_pShared->units.empty() ? 0 : m_pShared->units.front().nSession;
    return strProblem.empty();
}

bool CScriptSessions::Run(Transaction transaction, Ended ended) {
    SShared& shared = *m_pShared;
    const std::size_t nScripts = shared.units.size();
    shared.transaction = std::move(transaction);
    shared.ended = std::move(ended);
    shared.sofar.assign(nScripts, {});
    shared.done.assign(nScripts, false);
    const int nSessions = shared.options.scale.nJobs > 0
                              ? static_cast<int>(std::min<std::size_t>(shared.options.scale.nJobs, nScripts))
                              : 1;
    bool bAllEnded = true;
    {
        CSessionThreads threads;
        threads.Start(nSessions, [pShared = m_pShared](int n) { pShared->Session(n); });
        bAllEnded = threads.Wait([&shared] {
            if (StopSignal() != 0)
                shared.bStop = true;
            return shared.bStop.load();
        });
    }
    // Scripts still in a session left running, or never reached: what they did, and the rest not run.
    std::lock_guard lock(shared.mutex);
    shared.bClosed = true;
    for (std::size_t n = 0; n < nScripts; ++n) {
        if (shared.done[n])
            continue;
        SScriptResult& script = shared.sofar[n];
        if (script.strName.empty())
            shared.NameScript(script, n);
        STransactionResult rest;
        rest.nNumber = script.nTransactions + 1;
        rest.strName = "Rest of the script";
        rest.strError = kNotRunStopped;
        script.Count(rest);
        shared.transaction(n, script, rest, rest.nNumber);
        shared.ended(n, script);
    }
    return bAllEnded;
}
