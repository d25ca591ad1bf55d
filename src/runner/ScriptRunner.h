// CScriptRunner: one unattended session. Each script is cut as "Re-Load FIle" cuts it, then every
// block goes through the window's transaction cycle as "Run It and Load Next" sends it, and each
// answer is checked against the block's Expect note and, when asked, its known-good answer.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "controls/PaymentControl.h"
#include "controls/TransactionCycle.h"
#include "runner/CallWorker.h"
#include "runner/ExpectNote.h"
#include "runner/RunResult.h"
#include "runner/RunnerOptions.h"
#include "script/ScriptSplitter.h"
#include "script/ScriptVariables.h"

// A script file read and cut into its blocks; a load run reads each of its scripts once.
struct SReadScript {
    CString strPath;
    CStringArray stored;
    std::vector<SBlockNote> notes;
    CString strUnread;                // the line the reader stopped at, if it stopped early
    std::vector<CString> arrProblems; // what the reader reported, as the window would show it
    bool bUnreadable = false;         // no file, or no block in it
};
SReadScript ReadScript(const CString& strPath);

class CScriptRunner {
public:
    // Hears of each transaction as it ends and takes what it needs of it: the script's result then
    // keeps only its counts, so that a long script's results need not be held.
    using Progress = std::function<void(const SScriptResult& script, STransactionResult& done, int nTotal)>;

    // The target's component is made here, through the component registry, as the window makes it.
    CScriptRunner(const SRunnerOptions& options, CTransactionCycle::LogSink log);
    // The same with the component of a choice made once for many sessions: a load run makes one for
    // every pass, and choosing opens the library to check it.
    CScriptRunner(const SRunnerOptions& options, CTransactionCycle::LogSink log,
                  const SComponentChoice& choice);

    // StoreServerList on the target control, its answer logged as the window logs it; false with
    // the reason when the call fails or the answer is not a success.
    bool StoreServers(const CString& strServers, CString& strProblem);

    // Asked before each block is sent, with the moment its time counts from (now); may wait, and may
    // move that moment to the block's scheduled time. False ends the script there, the rest left out
    // of the counts: a load run that has reached its end.
    using Gate = std::function<bool(std::chrono::steady_clock::time_point& start)>;

    // Each call then runs on a worker thread; one that takes longer than seconds fails its
    // transaction and breaks the session: every block after it is not run.
    void SetCallLimit(double dSeconds);
    // Once *pStop is set, the blocks not yet sent are not run.
    void SetStop(const std::atomic<bool>* pStop) { m_pStop = pStop; }
    void SetGate(Gate gate) { m_gate = std::move(gate); }
    // A call overran its limit and is still running on a thread that uses this session: the owner
    // must then leak the session rather than destroy it (see ReleaseSession).
    bool Broken() const { return m_bBroken; }

    // ${NAME} in the blocks is given from these; unset, a block is run as stored.
    void SetVariables(const CScriptVariables* pVariables) { m_pVariables = pVariables; }

    // Runs one script; without progress, its result keeps every transaction. strSuite, when given,
    // names the result in place of the script's file name.
    SScriptResult Run(const CString& strPath, const Progress& progress = {}, const CString& strSuite = {});
    SScriptResult Run(const SReadScript& script, const Progress& progress = {}, const CString& strSuite = {});

private:
    struct SCall;
    // The cycle's Submit, on the worker when there is a limit; false when the call overran it.
    bool CallComponent(const std::shared_ptr<SCall>& call);

    // Load Next's request, Run It's cycle, then the checks when an answer that parses came back.
    // strComment is the note's text with its variables given.
    void RunBlock(const CString& strPath, const CString& strStored, const SBlockNote& note,
                  const CString& strComment, STransactionResult& result);
    void KeepAnswer(const SScriptResult& script, STransactionResult& result);

    const SRunnerOptions& m_options;
    CPaymentControl m_control;
    CTransactionCycle::LogSink m_log;
    CTransactionCycle m_cycle;
    // The response column's tokens: what the last completed run leaves for the next request.
    CFieldValues m_carried;
    double m_dCallLimit = 0;
    std::unique_ptr<CCallWorker> m_pWorker;
    bool m_bBroken = false;
    const std::atomic<bool>* m_pStop = nullptr;
    Gate m_gate;
    const CScriptVariables* m_pVariables = nullptr;
};

// Destroys a session, or leaks it when broken: a thread still in its component's call uses it, and
// a component in this process cannot be stopped safely.
void ReleaseSession(std::unique_ptr<CScriptRunner> pRunner);

extern const char kNotAnswered[]; // "Not run: the component did not answer"
extern const char kNotRunStopped[];
