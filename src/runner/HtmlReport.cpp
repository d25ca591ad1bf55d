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

class CHtmlWriter {
public:
    explicit CHtmlWriter(CReportWriter& out) : m_out(out) {}

    CReportWriter& Text(std::string_view text) { return m_out.HtmlText(text); }

    void Heading(const std::vector<SScriptResult>& scripts, const SReportHeading& heading);
    void Summary(const std::vector<SScriptResult>& scripts);
    void Transaction(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
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

void CHtmlWriter::Heading(const std::vector<SScriptResult>& scripts, const SReportHeading& heading) {
    int nTotal = 0, nFailed = 0, nUnreadable = 0;
    for (const SScriptResult& script : scripts) {
        nTotal += static_cast<int>(script.transactions.size());
        nFailed += script.FailedCount();
        nUnreadable += script.bUnreadable ? 1 : 0;
    }
    m_out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<title>tranvex-run report</title>\n<style>"
          << kStyle << "</style>\n</head>\n<body>\n<h1>tranvex-run report</h1>\n<p class=\"meta\">";
    Text(heading.strStarted) << ", target ";
    Text(heading.strTarget) << " component, " << scripts.size()
                            << (scripts.size() == 1 ? " script" : " scripts")
                            << "</p>\n<p class=\"totals\"><span>" << nTotal
                            << " transactions</span><span class=\"pass\">" << nTotal - nFailed
                            << " passed</span><span class=\"fail\">" << nFailed << " failed</span>";
    if (nUnreadable > 0)
        m_out << "<span class=\"fail\">" << nUnreadable << (nUnreadable == 1 ? " script" : " scripts")
              << " not read</span>";
    m_out << "</p>\n";
}

void CHtmlWriter::Summary(const std::vector<SScriptResult>& scripts) {
    m_out << "<table class=\"summary\"><thead><tr><th>Script</th><th>#</th><th>Transaction</th><th>Kind</th>"
             "<th>TranCode</th><th>CmdStatus</th><th>Verdict</th><th>Time (ms)</th></tr></thead><tbody>\n";
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        const SScriptResult& script = scripts[s];
        if (script.bUnreadable) {
            m_out << "<tr class=\"fail\"><td>";
            Text(script.strName) << "</td><td colspan=\"7\">";
            Text(script.arrProblems.empty() ? CString() : script.arrProblems.front()) << "</td></tr>\n";
        }
        for (const STransactionResult& t : script.transactions) {
            const bool bPassed = t.Passed();
            m_out << "<tr class=\"" << VerdictClass(bPassed) << "\"><td>";
            Text(script.strName) << "</td><td class=\"num\">" << t.nNumber << "</td><td><a href=\"#";
            Anchor(s, t.nNumber) << "\">";
            Text(t.strName) << "</a></td><td>";
            Text(t.strKind) << "</td><td>";
            Text(t.strTranCode) << "</td><td>";
            Text(t.strCmdStatus) << "</td><td class=\"verdict " << VerdictClass(bPassed) << "\">"
                                 << VerdictText(bPassed) << "</td><td class=\"num\">";
            Milliseconds(t.dSeconds) << "</td></tr>\n";
            m_out.Pass();
        }
    }
    m_out << "</tbody></table>\n";
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
                              const STransactionResult& t) {
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
    m_out << "<div class=\"texts\"><div><h3>Request</h3><pre>";
    Text(t.strRequest) << "</pre></div><div><h3>Response</h3><pre>";
    Text(t.strResponse) << "</pre></div></div>\n</section>\n";
    m_out.Pass();
}

} // namespace

void CHtmlReport::Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t) {
    while (m_sections.size() <= nScript)
        m_sections.push_back(std::make_unique<CReportWriter>());
    CHtmlWriter(*m_sections[nScript]).Transaction(nScript, strScriptName, t);
}

void CHtmlReport::Write(std::ostream& stream, const std::vector<SScriptResult>& scripts,
                        const SReportHeading& heading) {
    CReportWriter out(stream);
    CHtmlWriter writer(out);
    writer.Heading(scripts, heading);
    writer.Summary(scripts);
    for (std::size_t s = 0; s < scripts.size(); ++s) {
        writer.Problems(scripts[s]);
        if (s < m_sections.size())
            out.Splice(*m_sections[s]);
    }
    writer.End();
}
