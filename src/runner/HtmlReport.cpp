// Writing the HTML report.
#include "runner/HtmlReport.h"

#include "runner/ReportText.h"

namespace {

constexpr const char* kStyle = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:24px;color:#1d2430;background:#fff}
h1{font-size:22px;margin:0 0 4px}h2{font-size:17px;margin:28px 0 8px}h3{font-size:15px;margin:0 0 6px}
.meta{color:#555;margin:0 0 16px}
.totals span{display:inline-block;padding:3px 10px;margin-right:8px;border-radius:4px;font-weight:600}
table{border-collapse:collapse;margin:6px 0 10px}th,td{border:1px solid #c9ced6;padding:3px 8px;text-align:left;vertical-align:top}
th{background:#eef1f5}td.num{text-align:right}
.pass{background:#e3f4e6}.fail{background:#fbe2e2}
.verdict.pass,.totals .pass{color:#14612a}.verdict.fail,.totals .fail{color:#a11616}
section.txn{border:1px solid #c9ced6;border-left:6px solid #3c9a55;border-radius:4px;padding:10px 14px;margin:14px 0;break-inside:avoid-page}
section.txn.failed{border-left-color:#c62828}
section.txn h2{margin-top:4px}
.error{background:#fbe2e2;border:1px solid #e3a0a0;padding:6px 10px;white-space:pre-wrap;font-family:monospace}
.texts{display:grid;grid-template-columns:1fr 1fr;gap:12px}
pre{tab-size:4;background:#f6f7f9;border:1px solid #dde1e6;padding:8px;margin:0;white-space:pre-wrap;word-break:break-all;font-size:12px}
a{color:#1f4fa3}
@media print{body{margin:0;font-size:11px}a{color:inherit;text-decoration:none}.texts{grid-template-columns:1fr}}
)";

struct SLeftOut {
    int nFailedWithoutTexts = 0;
    int nPassed = 0;
};

class CHtmlWriter {
public:
    explicit CHtmlWriter(CReportWriter& out) : m_out(out) {}

    CReportWriter& Text(std::string_view text) { return m_out.HtmlText(text); }

    void Heading(const std::vector<SScriptResult>& scripts, const SReportHeading& heading,
                 const SLeftOut& leftOut);
    void SummaryStart();
    void UnreadableRow(const SScriptResult& script);
    void Row(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
    void SummaryEnd() { m_out << "</tbody></table>\n"; }
    // bTexts: with the request and response.
    void Transaction(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t,
                     bool bTexts);
    void Problems(const SScriptResult& script);
    void End() { m_out << "</body>\n</html>\n"; }

private:
    void Checks(const STransactionResult& t);
    void Differences(const STransactionResult& t);
    CReportWriter& Anchor(std::size_t nScript, int nNumber) {
        return m_out << 's' << nScript + 1 << "-t" << nNumber;
    }
    CReportWriter& Milliseconds(double dSeconds) { return m_out.Fixed(dSeconds * 1000, 1); }

    CReportWriter& m_out;
};

const char* VerdictClass(bool bPassed) {
    return bPassed ? "pass" : "fail";
}
const char* VerdictText(bool bPassed) {
    return bPassed ? "passed" : "failed";
}

void CHtmlWriter::Heading(const std::vector<SScriptResult>& scripts, const SReportHeading& heading,
                          const SLeftOut& leftOut) {
    int nTotal = 0, nFailed = 0, nUnreadable = 0;
    for (const SScriptResult& script : scripts) {
        nTotal += script.nTransactions;
        nFailed += script.nFailed;
        nUnreadable += script.bUnreadable ? 1 : 0;
    }
    m_out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<title>tranvex-run report</title>\n<style>"
          << kStyle << "</style>\n</head>\n<body>\n<h1>tranvex-run report</h1>\n<p class=\"meta\">";
    Text(heading.strStarted) << ", target ";
    Text(heading.strTarget) << " component, " << scripts.size()
                            << (scripts.size() == 1 ? " script" : " scripts");
    if (!heading.strShard.empty())
        Text(", shard " + heading.strShard);
    m_out << "</p>\n<p class=\"totals\"><span>" << nTotal
                            << " transactions</span><span class=\"pass\">" << nTotal - nFailed
                            << " passed</span><span class=\"fail\">" << nFailed << " failed</span>";
    if (nUnreadable > 0)
        m_out << "<span class=\"fail\">" << nUnreadable << (nUnreadable == 1 ? " script" : " scripts")
              << " not read</span>";
    m_out << "</p>\n";
    if (leftOut.nFailedWithoutTexts == 0 && leftOut.nPassed == 0)
        return;
    m_out << "<p class=\"meta\">This page shows the request and response of the first "
          << CHtmlReport::kInFull << " failed and the first " << CHtmlReport::kInFull
          << " passed transactions. Left out: ";
    if (leftOut.nFailedWithoutTexts > 0)
        m_out << "the request and response of " << leftOut.nFailedWithoutTexts
              << " later failed transactions (listed below with their reasons)"
              << (leftOut.nPassed > 0 ? ", and " : "");
    if (leftOut.nPassed > 0)
        m_out << leftOut.nPassed << " later passed transactions";
    m_out << ". The JUnit report (--junit) holds every transaction.</p>\n";
}

void CHtmlWriter::SummaryStart() {
    m_out << "<table class=\"summary\"><thead><tr><th>Script</th><th>#</th><th>Transaction</th><th>Kind</th>"
             "<th>TranCode</th><th>CmdStatus</th><th>Verdict</th><th>Time (ms)</th></tr></thead><tbody>\n";
}

void CHtmlWriter::UnreadableRow(const SScriptResult& script) {
    m_out << "<tr class=\"fail\"><td>";
    Text(script.strName) << "</td><td colspan=\"7\">";
    Text(script.arrProblems.empty() ? CString() : script.arrProblems.front()) << "</td></tr>\n";
}

void CHtmlWriter::Row(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t) {
    const bool bPassed = t.Passed();
    m_out << "<tr class=\"" << VerdictClass(bPassed) << "\"><td>";
    Text(strScriptName) << "</td><td class=\"num\">" << t.nNumber << "</td><td><a href=\"#";
    Anchor(nScript, t.nNumber) << "\">";
    Text(t.strName) << "</a></td><td>";
    Text(t.strKind) << "</td><td>";
    Text(t.strTranCode) << "</td><td>";
    Text(t.strCmdStatus) << "</td><td class=\"verdict " << VerdictClass(bPassed) << "\">"
                         << VerdictText(bPassed) << "</td><td class=\"num\">";
    Milliseconds(t.dSeconds) << "</td></tr>\n";
}

void CHtmlWriter::Checks(const STransactionResult& t) {
    if (t.checks.empty())
        return;
    m_out << "<h3>Checks</h3><table class=\"checks\"><thead><tr><th>Check</th><th>Field</th><th>Expected</th>"
             "<th>Actual</th><th>Verdict</th></tr></thead><tbody>\n";
    for (const SCheckResult& check : t.checks) {
        m_out << "<tr class=\"" << VerdictClass(check.bPassed) << "\"><td>";
        Text(check.strCheck) << "</td><td>";
        Text(check.strField) << "</td><td>";
        Text(check.strExpected) << "</td><td>";
        Text(check.strActual) << "</td><td>" << VerdictText(check.bPassed) << "</td></tr>\n";
    }
    m_out << "</tbody></table>\n";
}

void CHtmlWriter::Differences(const STransactionResult& t) {
    if (t.differences.empty())
        return;
    m_out << "<h3>Differences from the known-good answer</h3><table class=\"differences\"><thead><tr>"
             "<th>Element</th><th>Known-good</th><th>This run</th></tr></thead><tbody>\n";
    for (const SDifference& d : t.differences) {
        m_out << "<tr class=\"fail\"><td>";
        Text(d.strPath) << "</td><td>";
        Text(d.strExpected) << "</td><td>";
        Text(d.strActual) << "</td></tr>\n";
    }
    m_out << "</tbody></table>\n";
}

void CHtmlWriter::Problems(const SScriptResult& script) {
    for (const CString& problem : script.arrProblems) {
        m_out << "<p class=\"error\">";
        Text(script.strName) << ": ";
        Text(problem) << "</p>\n";
    }
}

void CHtmlWriter::Transaction(std::size_t nScript, std::string_view strScriptName,
                              const STransactionResult& t, bool bTexts) {
    const bool bPassed = t.Passed();
    m_out << "<section class=\"txn" << (bPassed ? "" : " failed") << "\" id=\"";
    Anchor(nScript, t.nNumber) << "\"><h2>";
    Text(strScriptName) << " #" << t.nNumber << ": ";
    Text(t.strName) << " <span class=\"verdict " << VerdictClass(bPassed) << "\">(" << VerdictText(bPassed)
                    << ")</span></h2>\n<p class=\"meta\">";
    Text(t.strKind) << " block, TranCode ";
    Text(t.strTranCode.empty() ? std::string_view("(none)") : t.strTranCode) << ", CmdStatus ";
    Text(t.strCmdStatus.empty() ? std::string_view("(none)") : t.strCmdStatus) << ", ";
    Milliseconds(t.dSeconds) << " ms</p>\n";
    if (!t.strError.empty()) {
        m_out << "<div class=\"error\">";
        Text(t.strError) << "</div>\n";
    }
    Checks(t);
    Differences(t);
    if (!bTexts) {
        m_out << "<p class=\"meta\">Request and response left out, after the first " << CHtmlReport::kInFull
              << " failed transactions.</p>\n</section>\n";
        return;
    }
    m_out << "<div class=\"texts\"><div><h3>Request</h3><pre>";
    Text(t.strRequest) << "</pre></div><div><h3>Response</h3><pre>";
    Text(t.strResponse) << "</pre></div></div>\n</section>\n";
}

} // namespace

bool CHtmlReport::Open(const CString& strFile, CString& strError) {
    return m_rows.Open(strFile, strError) && m_sections.Open(strFile, strError);
}

void CHtmlReport::Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t) {
    const bool bPassed = t.Passed();
    int& nInFull = bPassed ? m_nPassedInFull : m_nFailedInFull;
    const bool bTexts = nInFull < kInFull;
    if (bTexts)
        ++nInFull;
    else if (bPassed) {
        ++m_nPassedLeftOut;
        return;
    } else
        ++m_nFailedWithoutTexts;
    if (m_parts.size() <= nScript)
        m_parts.resize(nScript + 1);
    SScriptParts& parts = m_parts[nScript];
    m_rows.AddTo(parts.rows, [&](CReportWriter& out) { CHtmlWriter(out).Row(nScript, strScriptName, t); });
    m_sections.AddTo(parts.sections, [&](CReportWriter& out) {
        CHtmlWriter(out).Transaction(nScript, strScriptName, t, bTexts);
    });
}

bool CHtmlReport::Write(std::ostream& stream, const std::vector<SScriptResult>& scripts,
                        const SReportHeading& heading) {
    CReportWriter out(stream);
    CHtmlWriter writer(out);
    writer.Heading(scripts, heading, {m_nFailedWithoutTexts, m_nPassedLeftOut});
    writer.SummaryStart();
    static const SScriptParts kNoParts;
    const auto partsOf = [&](std::size_t s) -> const SScriptParts& {
        return s < m_parts.size() ? m_parts[s] : kNoParts;
    };
    bool bCopied = true;
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        if (scripts[s].bUnreadable)
            writer.UnreadableRow(scripts[s]);
        bCopied &= m_rows.CopyTo(out, partsOf(s).rows);
    }
    writer.SummaryEnd();
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        writer.Problems(scripts[s]);
        bCopied &= m_sections.CopyTo(out, partsOf(s).sections);
    }
    writer.End();
    return bCopied;
}
