// CScriptSessions: a functional run's scripts spread over sessions. Without --jobs one session runs
// every script in order, as one window would (a fresh one for each data row); with --jobs N, N
// threads each take the next script into a fresh session of its own. A stop (SIGINT, SIGTERM) ends
// each session at its next block.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>

#include "controls/TransactionCycle.h"
#include "runner/RunResult.h"
#include "runner/RunUnits.h"
#include "runner/RunnerOptions.h"

class CScriptRunner;

class CLogWriter;

// The daily log of a run whose sessions are on threads: entries go to it whole, until Close, after
// which a session left in a call can no longer reach it. The run has a writer of its own (unless a
// test put one in place), so that everything queued is written when the run ends, even when the
// program must then end without destroying its statics.
class CRunLog {
public:
    // Makes CORVANE_LOGS when bLog; says so on err when it cannot, and logs nothing then.
    CRunLog(bool bLog, std::FILE* err);
    ~CRunLog();
    CTransactionCycle::LogSink Sink() const;
    void Close();

private:
    struct SShared;
    std::shared_ptr<SShared> m_pShared;
    std::unique_ptr<CLogWriter> m_pOwnWriter;
};

class CScriptSessions {
public:
    // Both are called under one lock, so they need no locking of their own, and never after Run.
    using Transaction = std::function<void(std::size_t nScript, const SScriptResult& script,
                                           STransactionResult& t, int nTotal)>;
    using Ended = std::function<void(std::size_t nScript, SScriptResult& script)>;

    // nScript in the callbacks is the place of the unit in units.
    CScriptSessions(const SRunnerOptions& options, std::vector<SRunUnit> units,
                    CTransactionCycle::LogSink log);
    ~CScriptSessions();

    // Makes the first session and stores --servers on it, so that an error answer stops the run
    // before any script; false with the reason.
    bool Prepare(CString& strProblem);
    // Runs the units. Every script ends in Ended, in full or, after a stop, as far as it got,
    // with one more failed transaction for the rest ("not run"). False when a session still in a
    // call had to be left running.
    bool Run(Transaction transaction, Ended ended);

private:
    struct SShared;
    std::shared_ptr<SShared> m_pShared;
};
