// Verdicts of transactions and scripts.
#include "runner/RunResult.h"

#include <algorithm>

bool STransactionResult::Passed() const {
    return strError.empty() && differences.empty() &&
           std::all_of(checks.begin(), checks.end(), [](const SCheckResult& c) { return c.bPassed; });
}

CString STransactionResult::FailureSummary() const {
    if (!strError.empty())
        return strError.substr(0, strError.find_first_of("\r\n"));
    for (const SCheckResult& check : checks)
        if (!check.bPassed)
            return check.strField + ": expected " + check.strExpected + ", got " + check.strActual;
    if (!differences.empty())
        return differences.front().strPath + ": known-good " + differences.front().strExpected + ", got " +
               differences.front().strActual;
    return {};
}

void SScriptResult::Count(const STransactionResult& t) {
    ++nTransactions;
    if (!t.Passed()) {
        ++nFailed;
        nErrors += t.strError.empty() ? 0 : 1;
    }
}
