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
        m_pending += "\r\033[K";
    m_bLineOpen = false;
    m_nTransientAt = CString::npos;
}

void CProgressPrinter::Write() {
    if (!m_pending.empty()) {
        std::fputs(m_pending.c_str(), m_out);
        std::fflush(m_out);
        m_pending.clear();
    }
    m_nTransientAt = CString::npos;
    m_lastWrite = std::chrono::steady_clock::now();
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

    // A terminal line still waiting would be overwritten at once: it need not go out at all.
    if (m_nTransientAt != CString::npos)
        m_pending.resize(m_nTransientAt);
    const std::size_t start = m_pending.size();
    m_pending.append(m_bLineOpen ? "\r\033[K" : "")
        .append(m_fields)
        .append(bPassed ? " passed " : " FAILED ");
    AppendFixed(m_pending, t.dSeconds * 1000, 1);
    m_pending.append(" ms");
    if (!bPassed)
        m_pending.append("\n    ").append(m_mask(t.FailureSummary()));
    // On a terminal a passed transaction's line is overwritten by the next one.
    m_bLineOpen = m_bTerminal && bPassed;
    m_nTransientAt = m_bLineOpen ? start : CString::npos;
    if (!m_bLineOpen)
        m_pending += '\n';
    if (std::chrono::steady_clock::now() - m_lastWrite >= kWriteInterval)
        Write();
}

void CProgressPrinter::ScriptProblems(const SScriptResult& script) {
    ClearLine();
    for (const CString& problem : script.arrProblems)
        m_pending.append(m_mask(script.strPath)).append(": ").append(m_mask(problem)).append("\n");
    Write();
}

void CProgressPrinter::Finish(int nTotal, int nFailed, int nUnreadable, double dSeconds) {
    ClearLine();
    char summary[160];
    std::snprintf(summary, sizeof summary, "%d transactions, %d passed, %d failed", nTotal, nTotal - nFailed,
                  nFailed);
    m_pending += summary;
    if (nUnreadable > 0) {
        std::snprintf(summary, sizeof summary, ", %d %s not read", nUnreadable,
                      nUnreadable == 1 ? "script" : "scripts");
        m_pending += summary;
    }
    std::snprintf(summary, sizeof summary, " in %.2fs\n", dSeconds);
    m_pending += summary;
    Write();
}
