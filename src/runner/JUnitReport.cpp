// Writing the JUnit XML report.
#include "runner/JUnitReport.h"

#include "runner/ReportText.h"

namespace {

// Attribute text: escaped, line ends kept out.
CString Attr(std::string_view text) {
    CString value = Escaped(text);
    for (char& c : value)
        if (c == '\n' || c == '\t')
            c = ' ';
    return value;
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

void WriteCase(std::ostream& out, const SScriptResult& script, const STransactionResult& t) {
    out << "    <testcase name=\"" << Attr(t.strName) << "\" classname=\"" << Attr(script.strName)
        << "\" time=\"" << FormatSeconds(t.dSeconds) << "\">\n";
    if (!t.Passed()) {
        // A transaction that got no usable answer is an error; a wrong answer is a failure.
        const char* tag = t.strError.empty() ? "failure" : "error";
        out << "      <" << tag << " message=\"" << Attr(t.FailureSummary()) << "\" type=\""
            << (t.strError.empty() ? "check" : "transaction") << "\">" << Escaped(FailureDetails(t)) << "</"
            << tag << ">\n";
    }
    CString texts = "Block " + std::to_string(t.nNumber) + " (" + Escaped(t.strKind) + ")\nRequest:\n";
    AppendCData(texts, t.strRequest);
    texts += "\nResponse:\n";
    AppendCData(texts, t.strResponse);
    out << "      <system-out>" << texts << "</system-out>\n    </testcase>\n";
}

} // namespace

void WriteJUnitReport(std::ostream& out, const std::vector<SScriptResult>& scripts) {
    int nTests = 0, nFailures = 0, nErrors = 0;
    double dSeconds = 0;
    for (const SScriptResult& script : scripts) {
        for (const STransactionResult& t : script.transactions) {
            ++nTests;
            if (!t.Passed())
                ++(t.strError.empty() ? nFailures : nErrors);
        }
        nErrors += script.bUnreadable ? 1 : 0;
        nTests += script.bUnreadable ? 1 : 0;
        dSeconds += script.dSeconds;
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"tranvex-run\" tests=\"" << nTests << "\" failures=\"" << nFailures
        << "\" errors=\"" << nErrors << "\" time=\"" << FormatSeconds(dSeconds) << "\">\n";
    for (const SScriptResult& script : scripts) {
        int nSuiteFailures = 0, nSuiteErrors = script.bUnreadable ? 1 : 0;
        for (const STransactionResult& t : script.transactions)
            if (!t.Passed())
                ++(t.strError.empty() ? nSuiteFailures : nSuiteErrors);
        const std::size_t nSuiteTests = script.transactions.size() + (script.bUnreadable ? 1 : 0);
        out << "  <testsuite name=\"" << Attr(script.strName) << "\" tests=\"" << nSuiteTests
            << "\" failures=\"" << nSuiteFailures << "\" errors=\"" << nSuiteErrors
            << "\" skipped=\"0\" time=\"" << FormatSeconds(script.dSeconds) << "\" file=\""
            << Attr(script.strPath) << "\">\n";
        if (script.bUnreadable) {
            // A script that cannot be run still shows up, as one erroneous case.
            const CString problem = script.arrProblems.empty() ? CString() : script.arrProblems.front();
            out << "    <testcase name=\"Load script\" classname=\"" << Attr(script.strName)
                << "\" time=\"0.000\">\n      <error message=\"" << Attr(problem) << "\" type=\"script\">"
                << Escaped(problem) << "</error>\n    </testcase>\n";
        }
        for (const STransactionResult& t : script.transactions)
            WriteCase(out, script, t);
        if (!script.arrProblems.empty() && !script.bUnreadable) {
            out << "    <system-err>";
            for (const CString& problem : script.arrProblems)
                out << Escaped(problem) << "\n";
            out << "</system-err>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
}
