// CScriptRunner: one unattended session. Each script is cut as "Re-Load FIle" cuts it, then every
// block goes through the window's transaction cycle as "Run It and Load Next" sends it, and each
// answer is checked against the block's Expect note and, when asked, its known-good answer.
#pragma once

#include <functional>

#include "controls/PaymentControl.h"
#include "controls/TransactionCycle.h"
#include "runner/ExpectNote.h"
#include "runner/RunResult.h"
#include "runner/RunnerOptions.h"
#include "script/ScriptSplitter.h"

class CScriptRunner {
public:
    // Hears of each transaction as it ends and takes what it needs of it: the script's result then
    // keeps only its counts, so that a long script's results need not be held.
    using Progress = std::function<void(const SScriptResult& script, STransactionResult& done, int nTotal)>;

    // The target's component is made here, through the component registry, as the window makes it.
    CScriptRunner(const SRunnerOptions& options, CTransactionCycle::LogSink log);

    // StoreServerList on the target control, its answer logged as the window logs it; false with
    // the reason when the call fails or the answer is not a success.
    bool StoreServers(const CString& strServers, CString& strProblem);

    // Runs one script; without progress, its result keeps every transaction.
    SScriptResult Run(const CString& strPath, const Progress& progress = {});

    // Why calls could not be written to the cassette; empty when none is recorded or all were.
    CString RecordingFailure() const;

private:
    // Load Next's request, Run It's cycle, then the checks when an answer that parses came back.
    void RunBlock(const CString& strPath, const CString& strStored, const SBlockNote& note,
                  STransactionResult& result);
    void KeepAnswer(const SScriptResult& script, STransactionResult& result);

    const SRunnerOptions& m_options;
    CPaymentControl m_control;
    std::shared_ptr<tvxreplay::CCassetteWriter> m_recorder;
    CTransactionCycle::LogSink m_log;
    CTransactionCycle m_cycle;
    // The response column's tokens: what the last completed run leaves for the next request.
    CFieldValues m_carried;
};
