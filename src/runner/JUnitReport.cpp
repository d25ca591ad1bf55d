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
    counts.nTests = script.transactions.size() + (script.bUnreadable ? 1 : 0);
    counts.nErrors = script.bUnreadable ? 1 : 0;
    for (const STransactionResult& t : script.transactions)
        if (!t.Passed())
            ++(t.strError.empty() ? counts.nFailures : counts.nErrors);
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
    out.Pass();
}

void WriteSuite(CReportWriter& out, const SScriptResult& script, const SCounts& counts,
                CReportWriter* pCases) {
    out << "  <testsuite name=\"";
    out.Attribute(script.strName) << "\" tests=\"" << counts.nTests << "\" failures=\"" << counts.nFailures
                                  << "\" errors=\"" << counts.nErrors << "\" skipped=\"0\" time=\"";
    out.Fixed(script.dSeconds, 3) << "\" file=\"";
    out.Attribute(script.strPath) << "\">\n";
    if (script.bUnreadable) {
        // A script that cannot be run still shows up, as one erroneous case.
        const CString problem = script.arrProblems.empty() ? CString() : script.arrProblems.front();
        out << "    <testcase name=\"Load script\" classname=\"";
        out.Attribute(script.strName) << "\" time=\"0.000\">\n      <error message=\"";
        out.Attribute(problem) << "\" type=\"script\">";
        out.Escaped(problem) << "</error>\n    </testcase>\n";
    }
    if (pCases)
        out.Splice(*pCases);
    if (!script.arrProblems.empty() && !script.bUnreadable) {
        out << "    <system-err>";
        for (const CString& problem : script.arrProblems)
            out.Escaped(problem) << "\n";
        out << "</system-err>\n";
    }
    out << "  </testsuite>\n";
}

} // namespace

void CJUnitReport::Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t) {
    while (m_cases.size() <= nScript)
        m_cases.push_back(std::make_unique<CReportWriter>());
    WriteCase(*m_cases[nScript], strScriptName, t);
}

void CJUnitReport::Write(std::ostream& stream, const std::vector<SScriptResult>& scripts) {
    std::vector<SCounts> suites;
    SCounts total;
    for (const SScriptResult& script : scripts) {
        suites.push_back(CountsOf(script));
        total.Add(suites.back());
    }
    CReportWriter out(stream);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"tranvex-run\" tests=\"" << total.nTests << "\" failures=\"" << total.nFailures
        << "\" errors=\"" << total.nErrors << "\" time=\"";
    out.Fixed(total.dSeconds, 3) << "\">\n";
    for (std::size_t s = 0; s < scripts.size(); ++s)
        WriteSuite(out, scripts[s], suites[s], s < m_cases.size() ? m_cases[s].get() : nullptr);
    out << "</testsuites>\n";
}
