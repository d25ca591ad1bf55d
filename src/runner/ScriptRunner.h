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
#include "script/ScriptVariables.h"

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

    // ${NAME} in the blocks is given from these; unset, a block is run as stored.
    void SetVariables(const CScriptVariables* pVariables) { m_pVariables = pVariables; }

    // Runs one script; without progress, its result keeps every transaction. strSuite, when given,
    // names the result in place of the script's file name.
    SScriptResult Run(const CString& strPath, const Progress& progress = {}, const CString& strSuite = {});

private:
    // Load Next's request, Run It's cycle, then the checks when an answer that parses came back.
    void RunBlock(const CString& strPath, const CString& strStored, const SBlockNote& note,
                  STransactionResult& result);
    void KeepAnswer(const SScriptResult& script, STransactionResult& result);

    const SRunnerOptions& m_options;
    CPaymentControl m_control;
    CTransactionCycle::LogSink m_log;
    CTransactionCycle m_cycle;
    // The response column's tokens: what the last completed run leaves for the next request.
    CFieldValues m_carried;
    const CScriptVariables* m_pVariables = nullptr;
};
