// Progress lines.
#include "runner/Progress.h"

void CProgressPrinter::ClearLine() {
    if (m_bLineOpen)
        std::fputs("\r\033[K", m_out);
    m_bLineOpen = false;
}

void CProgressPrinter::Transaction(const SScriptResult& script, const STransactionResult& t, int nTotal) {
    const bool bPassed = t.Passed();
    char time[32];
    std::snprintf(time, sizeof time, " %.1f ms", t.dSeconds * 1000);
    CString line = m_bLineOpen ? "\r\033[K" : "";
    line.append(m_mask(script.strName + " " + std::to_string(t.nNumber) + "/" + std::to_string(nTotal) + " " +
                       (t.strKind.empty() ? CString("?") : t.strKind) + " " +
                       (t.strTranCode.empty() ? CString("-") : t.strTranCode) + " " +
                       (t.strCmdStatus.empty() ? CString("-") : t.strCmdStatus)));
    line.append(bPassed ? " passed" : " FAILED").append(time);
    if (!bPassed)
        line.append("\n    ").append(m_mask(t.FailureSummary()));
    // On a terminal a passed transaction's line is overwritten by the next one.
    m_bLineOpen = m_bTerminal && bPassed;
    if (!m_bLineOpen)
        line += '\n';
    std::fputs(line.c_str(), m_out); // one write per transaction
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
