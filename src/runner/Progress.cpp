// Progress lines.
#include "runner/Progress.h"

void CProgressPrinter::ClearLine() {
    if (m_bLineOpen)
        std::fputs("\r\033[K", m_out);
    m_bLineOpen = false;
}

void CProgressPrinter::Transaction(const SScriptResult& script, const STransactionResult& t, int nTotal) {
    const bool bPassed = t.Passed();
    const CString line = m_mask(script.strName + " " + std::to_string(t.nNumber) + "/" + std::to_string(nTotal) +
                                " " + (t.strKind.empty() ? CString("?") : t.strKind) + " " +
                                (t.strTranCode.empty() ? CString("-") : t.strTranCode) + " " +
                                (t.strCmdStatus.empty() ? CString("-") : t.strCmdStatus));
    ClearLine();
    std::fprintf(m_out, "%s %s %.3fs", line.c_str(), bPassed ? "passed" : "FAILED", t.dSeconds);
    if (!bPassed)
        std::fprintf(m_out, "\n    %s", m_mask(t.FailureSummary()).c_str());
    if (m_bTerminal && bPassed) {
        m_bLineOpen = true;
    } else {
        std::fputc('\n', m_out);
    }
    std::fflush(m_out);
}

void CProgressPrinter::ScriptProblems(const SScriptResult& script) {
    ClearLine();
    for (const CString& problem : script.arrProblems)
        std::fprintf(m_out, "%s: %s\n", m_mask(script.strPath).c_str(), m_mask(problem).c_str());
}

void CProgressPrinter::Finish(int nTotal, int nFailed, double dSeconds) {
    ClearLine();
    std::fprintf(m_out, "%d transactions, %d passed, %d failed in %.2fs\n", nTotal, nTotal - nFailed, nFailed,
                 dSeconds);
}
