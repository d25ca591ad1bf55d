// What tranvex-run found for each transaction and each script; the reports and the progress lines
// are written from these.
#pragma once

#include <vector>

#include "platform/MfcTypes.h"

// One Expect check after the run. A check that could not be read has field "Expect".
struct SCheckResult {
    CString strCheck;    // as written in the note
    CString strField;    // the response element
    CString strExpected; // in words: "Approved", "matches ^A", "present", "absent"
    CString strActual;   // the element's text, or "(absent)"
    bool bPassed = false;
};

// One leaf of the response that differs from the known-good answer.
struct SDifference {
    CString strPath;     // /RStream/TranResponse/AuthCode
    CString strExpected; // the known-good text, or "(absent)"
    CString strActual;   // this run's text, or "(absent)"
};

struct STransactionResult {
    int nNumber = 0;     // the block's place in the script, from 1
    CString strKind;     // Transaction, Admin or Corvane
    CString strTranCode; // as sent
    CString strName;     // the note's first line, else "Block <n> <TranCode>"
    CString strRequest;  // the text sent; a block that does not parse is not sent and shows as stored
    CString strResponse;
    CString strCmdStatus;
    CString strError; // why the transaction could not complete, as the window would say it
    std::vector<SCheckResult> checks;
    std::vector<SDifference> differences;
    double dSeconds = 0;

    bool Passed() const;
    // The first reason it failed, in one line; empty when it passed.
    CString FailureSummary() const;
};

struct SScriptResult {
    CString strPath;
    CString strName;                  // the file name without its extension
    std::vector<CString> arrProblems; // what the script reader reported, as the window would show it
    bool bUnreadable = false;         // nothing could be run
    // In the order run; empty when the caller took each transaction as it ended.
    std::vector<STransactionResult> transactions;
    int nTransactions = 0; // run, kept or not
    int nFailed = 0;       // of them, failed
    int nErrors = 0;       // of the failed, those that got no usable answer
    double dSeconds = 0;

    // Counts a transaction that has ended.
    void Count(const STransactionResult& t);
};
