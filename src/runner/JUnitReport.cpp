// Writing the JUnit XML report.
#include "runner/JUnitReport.h"

#include "runner/ReportText.h"

namespace {

struct SCounts {
    std::size_t nTests = 0;
    int nFailures = 0; // wrong answers
    int nErrors = 0;   // no usable answer, or a script that cannot be run
    double dSeconds = 0;

    void Add(const SCounts& other) {
        nTests += other.nTests;
        nFailures += other.nFailures;
        nErrors += other.nErrors;
        dSeconds += other.dSeconds;
    }
};

SCounts CountsOf(const SScriptResult& script) {
    SCounts counts;
    counts.nTests = static_cast<std::size_t>(script.nTransactions) + (script.bUnreadable ? 1 : 0);
    counts.nErrors = script.nErrors + (script.bUnreadable ? 1 : 0);
    counts.nFailures = script.nFailed - script.nErrors;
    counts.dSeconds = script.dSeconds;
    return counts;
}

// Every reason the transaction failed, one per line.
CString FailureDetails(const STransactionResult& t) {
    CString details;
    if (!t.strError.empty())
        details += t.strError + "\n";
    for (const SCheckResult& check : t.checks)
        if (!check.bPassed)
            details += "Check " + check.strCheck + ": " + check.strField + " expected " + check.strExpected +
                       ", actual " + check.strActual + "\n";
    for (const SDifference& d : t.differences)
        details += "Known-good " + d.strPath + ": expected \"" + d.strExpected + "\", actual \"" +
                   d.strActual + "\"\n";
    return details;
}

void WriteCase(CReportWriter& out, std::string_view strScriptName, const STransactionResult& t) {
    out << "    <testcase name=\"";
    out.Attribute(t.strName) << "\" classname=\"";
    out.Attribute(strScriptName) << "\" time=\"";
    out.Fixed(t.dSeconds, 3) << "\">\n";
    if (!t.Passed()) {
        // A transaction that got no usable answer is an error; a wrong answer is a failure.
        const std::string_view tag = t.strError.empty() ? "failure" : "error";
        out << "      <" << tag << " message=\"";
        out.Attribute(t.FailureSummary())
            << "\" type=\"" << (t.strError.empty() ? "check" : "transaction") << "\">";
        out.Escaped(FailureDetails(t)) << "</" << tag << ">\n";
    }
    out << "      <system-out>Block " << t.nNumber << " (";
    out.Escaped(t.strKind) << ")\nRequest:\n";
    out.CData(t.strRequest) << "\nResponse:\n";
    out.CData(t.strResponse) << "</system-out>\n    </testcase>\n";
}

// The suite around its cases; false when they could not be read back.
bool WriteSuite(CReportWriter& out, const SScriptResult& script, const SCounts& counts, CReportSpool& spool,
                const CReportSpool::Part& cases, std::string_view strShard) {
    out << "  <testsuite name=\"";
    out.Attribute(script.strName) << "\" tests=\"" << counts.nTests << "\" failures=\"" << counts.nFailures
                                  << "\" errors=\"" << counts.nErrors << "\" skipped=\"0\" time=\"";
    out.Fixed(script.dSeconds, 3) << "\" file=\"";
    out.Attribute(script.strPath) << "\">\n";
    if (!strShard.empty()) {
        out << "    <properties><property name=\"shard\" value=\"";
        out.Attribute(strShard) << "\"/></properties>\n";
    }
    if (script.bUnreadable) {
        // A script that cannot be run still shows up, as one erroneous case.
        const CString problem = script.arrProblems.empty() ? CString() : script.arrProblems.front();
        out << "    <testcase name=\"Load script\" classname=\"";
        out.Attribute(script.strName) << "\" time=\"0.000\">\n      <error message=\"";
        out.Attribute(problem) << "\" type=\"script\">";
        out.Escaped(problem) << "</error>\n    </testcase>\n";
    }
    const bool bCopied = spool.CopyTo(out, cases);
    if (!script.arrProblems.empty() && !script.bUnreadable) {
        out << "    <system-err>";
        for (const CString& problem : script.arrProblems)
            out.Escaped(problem) << "\n";
        out << "</system-err>\n";
    }
    out << "  </testsuite>\n";
    out.Pass();
    return bCopied;
}

} // namespace

void CJUnitReport::Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t) {
    if (m_cases.size() <= nScript)
        m_cases.resize(nScript + 1);
    m_spool.AddTo(m_cases[nScript], [&](CReportWriter& out) { WriteCase(out, strScriptName, t); });
}

bool CJUnitReport::Write(std::ostream& stream, const std::vector<SScriptResult>& scripts,
                         std::string_view strShard) {
    std::vector<SCounts> suites;
    SCounts total;
    for (const SScriptResult& script : scripts) {
        suites.push_back(CountsOf(script));
        total.Add(suites.back());
    }
    CReportWriter out(stream);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"tranvex-run";
    if (!strShard.empty())
        out << " shard ";
    out.Attribute(strShard) << "\" tests=\"" << total.nTests << "\" failures=\"" << total.nFailures
        << "\" errors=\"" << total.nErrors << "\" time=\"";
    out.Fixed(total.dSeconds, 3) << "\">\n";
    static const CReportSpool::Part kNoCases;
    bool bCopied = true;
    for (std::size_t s = 0; s < scripts.size(); ++s)
        bCopied &= WriteSuite(out, scripts[s], suites[s], m_spool, s < m_cases.size() ? m_cases[s] : kNoCases,
                              strShard);
    out << "</testsuites>\n";
    return bCopied;
}
