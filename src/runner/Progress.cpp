// Progress lines.
#include "runner/Progress.h"

#include <charconv>

#include "runner/ReportText.h"

namespace {

CString& AppendNumber(CString& text, int n) {
    char digits[16];
    return text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

} // namespace

void CProgressPrinter::ClearLine() {
    if (m_bLineOpen)
        std::fputs("\r\033[K", m_out);
    m_bLineOpen = false;
}

void CProgressPrinter::Transaction(const SScriptResult& script, const STransactionResult& t, int nTotal) {
    const bool bPassed = t.Passed();
    // The line is built in strings kept from one transaction to the next.
    m_fields.assign(script.strName).append(" ");
    AppendNumber(m_fields, t.nNumber).append("/");
    AppendNumber(m_fields, nTotal)
        .append(" ")
        .append(t.strKind.empty() ? "?" : t.strKind)
        .append(" ")
        .append(t.strTranCode.empty() ? "-" : t.strTranCode)
        .append(" ")
        .append(t.strCmdStatus.empty() ? "-" : t.strCmdStatus);
    m_mask.MaskInPlace(m_fields);

    m_line.assign(m_bLineOpen ? "\r\033[K" : "").append(m_fields).append(bPassed ? " passed " : " FAILED ");
    AppendFixed(m_line, t.dSeconds * 1000, 1);
    m_line.append(" ms");
    if (!bPassed)
        m_line.append("\n    ").append(m_mask(t.FailureSummary()));
    // On a terminal a passed transaction's line is overwritten by the next one.
    m_bLineOpen = m_bTerminal && bPassed;
    if (!m_bLineOpen)
        m_line += '\n';
    std::fputs(m_line.c_str(), m_out); // one write per transaction
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
