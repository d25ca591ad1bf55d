// The load run's figures and their three forms: console lines, JSON and the page.
#include "runner/LoadFigures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runner/ReportText.h"
#include <sstream>

namespace {

struct SPercentile {
    const char* pszName; // as the JSON key and the console column
    double dPercent;
};
constexpr SPercentile kPercentiles[] = {{"p50", 50}, {"p90", 90}, {"p99", 99}, {"p99_9", 99.9}};

double Millis(std::uint64_t nMicros) { return static_cast<double>(nMicros) / 1000.0; }

CString Format(const char* format, double d) {
    char text[64];
    std::snprintf(text, sizeof text, format, d);
    return text;
}

CString ConsoleRow(const CString& strName, const SLoadCounts& c, const SLoadFigures& f) {
    char line[256];
    std::snprintf(line, sizeof line, "  %-16s %9lld %9lld %7lld %9.1f %9.3f %9.3f %9.3f %9.3f %9.3f\n",
                  strName.substr(0, 16).c_str(), c.nTransactions, c.nPassed, c.nFailed, f.PerSecond(c.nTransactions),
                  Millis(c.latency.Percentile(50)), Millis(c.latency.Percentile(90)),
                  Millis(c.latency.Percentile(99)), Millis(c.latency.Percentile(99.9)), Millis(c.latency.Max()));
    return line;
}

// JSON strings: quotes, backslashes and control characters escaped; other bytes as they are (the
// texts are UTF-8, and bytes that are not are replaced as the reports replace them).
void JsonString(std::ostream& out, std::string_view text) {
    out << '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        // A whole UTF-8 sequence goes through as it is; a byte that starts none becomes U+FFFD.
        const std::size_t nLength = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool bWhole = nLength > 0 && i + nLength <= text.size();
        for (std::size_t k = 1; bWhole && k < nLength; ++k)
            bWhole = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
        if (!bWhole) {
            out << "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\')
            out << '\\' << c;
        else if (c == '\n')
            out << "\\n";
        else if (c == '\t')
            out << "\\t";
        else if (c < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out << hex;
        } else
            out << text.substr(i, nLength);
        i += nLength;
    }
    out << '"';
}

void JsonNumber(std::ostream& out, double d) { out << Format("%.6g", std::isfinite(d) ? d : 0); }

void JsonCounts(std::ostream& out, const SLoadCounts& c, const SLoadFigures& f, const char* indent) {
    out << indent << "\"transactions\": " << c.nTransactions << ",\n"
        << indent << "\"passed\": " << c.nPassed << ",\n"
        << indent << "\"failed\": " << c.nFailed << ",\n"
        << indent << "\"per_second\": ";
    JsonNumber(out, f.PerSecond(c.nTransactions));
    out << ",\n" << indent << "\"latency_ms\": {";
    for (const SPercentile& p : kPercentiles) {
        out << "\"" << p.pszName << "\": ";
        JsonNumber(out, Millis(c.latency.Percentile(p.dPercent)));
        out << ", ";
    }
    out << "\"max\": ";
    JsonNumber(out, Millis(c.latency.Max()));
    out << ", \"mean\": ";
    JsonNumber(out, c.latency.Mean() / 1000.0);
    out << "}";
}

} // namespace

void SLoadFigures::Record(const CString& strScript, int nPass, STransactionResult& t, double dAtSeconds) {
    const bool bPassed = t.Passed();
    const auto nMicros = static_cast<std::uint64_t>(std::llround(std::max(0.0, t.dSeconds) * 1e6));
    for (SLoadCounts* c : {&overall, &byTranCode[t.strTranCode.empty() ? CString("(none)") : t.strTranCode]}) {
        ++c->nTransactions;
        ++(bPassed ? c->nPassed : c->nFailed);
        c->latency.Record(nMicros);
    }
    const auto nSecond = static_cast<std::size_t>(std::max(0.0, dAtSeconds));
    if (seconds.size() <= nSecond)
        seconds.resize(nSecond + 1);
    SLoadSecond& second = seconds[nSecond];
    ++second.nTransactions;
    second.nFailed += bPassed ? 0 : 1;
    second.nSumMicros += nMicros;
    second.nMaxMicros = std::max(second.nMaxMicros, nMicros);
    if (!bPassed && failures.size() < kListed)
        failures.push_back({strScript, nPass, std::move(t)});
}

CString LoadConsoleSummary(const SLoadFigures& f) {
    CString text = "\nLoad run: " + std::to_string(f.nSessions) + " sessions, " + Format("%.2f", f.dSeconds) +
                   " s";
    if (f.dRate > 0)
        text += ", rate " + Format("%g", f.dRate) + "/s asked";
    if (f.nLateSends > 0)
        text += ", " + std::to_string(f.nLateSends) + " sends behind schedule";
    if (f.nBrokenSessions > 0)
        text += ", " + std::to_string(f.nBrokenSessions) + " sessions broken by the time limit";
    if (f.nStopSignal != 0)
        text += ", stopped by signal " + std::to_string(f.nStopSignal);
    text += "\n                  transactions    passed  failed     per s   p50 ms    p90 ms    p99 ms  p99.9 ms "
            "   max ms\n";
    text += ConsoleRow("all", f.overall, f);
    for (const auto& [strCode, counts] : f.byTranCode)
        text += ConsoleRow(strCode, counts, f);
    for (const SLoadFailure& failure : f.failures)
        text += "FAILED " + failure.strScript + " pass " + std::to_string(failure.nPass) + " block " +
                std::to_string(failure.t.nNumber) + " " + failure.t.strTranCode + ": " + failure.t.FailureSummary() +
                "\n";
    if (f.overall.nFailed > static_cast<long long>(f.failures.size()))
        text += std::to_string(f.overall.nFailed - static_cast<long long>(f.failures.size())) +
                " more failures, not listed\n";
    return text;
}

void WriteLoadJson(std::ostream& out, const SLoadFigures& f) {
    out << "{\n  \"layout\": 1,\n  \"started\": ";
    JsonString(out, f.strStarted);
    out << ",\n  \"target\": ";
    JsonString(out, f.strTarget);
    out << ",\n  \"sessions\": " << f.nSessions << ",\n  \"asked\": {\"duration_s\": ";
    JsonNumber(out, f.dDuration);
    out << ", \"count\": " << f.nCount << ", \"rate\": ";
    JsonNumber(out, f.dRate);
    out << "},\n  \"scripts\": [";
    for (std::size_t i = 0; i < f.scripts.size(); ++i) {
        out << (i ? ", " : "");
        JsonString(out, f.scripts[i]);
    }
    out << "],\n  \"seconds\": ";
    JsonNumber(out, f.dSeconds);
    out << ",\n  \"late_sends\": " << f.nLateSends << ",\n  \"broken_sessions\": " << f.nBrokenSessions
        << ",\n  \"stop_signal\": " << f.nStopSignal << ",\n";
    JsonCounts(out, f.overall, f, "  ");
    out << ",\n  \"by_trancode\": {";
    bool bFirst = true;
    for (const auto& [strCode, counts] : f.byTranCode) {
        out << (bFirst ? "\n" : ",\n") << "    ";
        bFirst = false;
        JsonString(out, strCode);
        out << ": {\n";
        JsonCounts(out, counts, f, "      ");
        out << "\n    }";
    }
    out << "\n  },\n  \"failures_listed\": [";
    for (std::size_t i = 0; i < f.failures.size(); ++i) {
        const SLoadFailure& failure = f.failures[i];
        out << (i ? ",\n" : "\n") << "    {\"script\": ";
        JsonString(out, failure.strScript);
        out << ", \"pass\": " << failure.nPass << ", \"block\": " << failure.t.nNumber << ", \"name\": ";
        JsonString(out, failure.t.strName);
        out << ", \"trancode\": ";
        JsonString(out, failure.t.strTranCode);
        out << ", \"reason\": ";
        JsonString(out, failure.t.FailureSummary());
        out << ", \"latency_ms\": ";
        JsonNumber(out, failure.t.dSeconds * 1000.0);
        out << ", \"request\": ";
        JsonString(out, failure.t.strRequest);
        out << ", \"response\": ";
        JsonString(out, failure.t.strResponse);
        out << "}";
    }
    out << "\n  ]\n}\n";
}

namespace {

void HtmlCountsRow(CReportWriter& w, const CString& strName, const SLoadCounts& c, const SLoadFigures& f) {
    w << "<tr><td>";
    w.HtmlText(strName) << "</td><td>" << static_cast<long long>(c.nTransactions) << "</td><td>"
                        << static_cast<long long>(c.nPassed) << "</td><td>" << static_cast<long long>(c.nFailed)
                        << "</td><td>";
    w.Fixed(f.PerSecond(c.nTransactions), 1);
    for (const SPercentile& p : kPercentiles) {
        w << "</td><td>";
        w.Fixed(Millis(c.latency.Percentile(p.dPercent)), 3);
    }
    w << "</td><td>";
    w.Fixed(Millis(c.latency.Max()), 3) << "</td></tr>\n";
}

constexpr int kWidth = 720, kHeight = 240, kLeft = 60, kBottom = 30, kTop = 10, kRight = 10;

// Mean and max latency of each second, as two lines over the run's seconds.
void LatencyOverTime(CReportWriter& w, const SLoadFigures& f) {
    std::uint64_t nTop = 1;
    for (const SLoadSecond& s : f.seconds)
        nTop = std::max(nTop, s.nMaxMicros);
    const double dSpanX = std::max<std::size_t>(1, f.seconds.size());
    const auto x = [&](std::size_t n) { return kLeft + (kWidth - kLeft - kRight) * (static_cast<double>(n) + 0.5) / dSpanX; };
    const auto y = [&](double dMicros) {
        return kHeight - kBottom - (kHeight - kBottom - kTop) * dMicros / static_cast<double>(nTop);
    };
    w << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" role=\"img\" aria-label=\"latency over time\">\n<line x1=\"" << kLeft << "\" y1=\"" << kHeight - kBottom
      << "\" x2=\"" << kWidth - kRight << "\" y2=\"" << kHeight - kBottom << "\" stroke=\"#888\"/>\n<line x1=\""
      << kLeft << "\" y1=\"" << kTop << "\" x2=\"" << kLeft << "\" y2=\"" << kHeight - kBottom
      << "\" stroke=\"#888\"/>\n<text x=\"2\" y=\"" << kTop + 10 << "\" font-size=\"11\">";
    w.Fixed(Millis(nTop), 1) << " ms</text>\n<text x=\"2\" y=\"" << kHeight - kBottom << "\" font-size=\"11\">0</text>\n"
      << "<text x=\"" << kWidth - 120 << "\" y=\"" << kHeight - 8 << "\" font-size=\"11\">seconds: "
      << f.seconds.size() << "</text>\n";
    for (int nLine = 0; nLine < 2; ++nLine) {
        w << "<polyline fill=\"none\" stroke=\"" << (nLine ? "#c0392b" : "#2471a3") << "\" points=\"";
        for (std::size_t n = 0; n < f.seconds.size(); ++n) {
            const SLoadSecond& s = f.seconds[n];
            const double dValue = nLine ? static_cast<double>(s.nMaxMicros)
                                        : (s.nTransactions ? static_cast<double>(s.nSumMicros) / static_cast<double>(s.nTransactions) : 0);
            w.Fixed(x(n), 1) << ',';
            w.Fixed(y(dValue), 1) << ' ';
        }
        w << "\"/>\n";
    }
    w << "<text x=\"" << kLeft + 10 << "\" y=\"" << kTop + 10
      << "\" font-size=\"11\" fill=\"#2471a3\">mean</text><text x=\"" << kLeft + 50 << "\" y=\"" << kTop + 10
      << "\" font-size=\"11\" fill=\"#c0392b\">max</text>\n</svg>\n";
}

// The histogram's buckets gathered into bars of equal width on a log scale of latency.
void LatencyHistogramChart(CReportWriter& w, const SLoadFigures& f) {
    const auto buckets = f.overall.latency.Buckets();
    constexpr int kBars = 40;
    std::vector<std::uint64_t> bars(kBars);
    const double dLow = std::log10(static_cast<double>(std::max<std::uint64_t>(1, buckets.empty() ? 1 : buckets.front().nLowest)));
    const double dHigh = std::log10(static_cast<double>(std::max<std::uint64_t>(2, f.overall.latency.Max() + 1)));
    const double dSpan = std::max(1e-9, dHigh - dLow);
    for (const auto& b : buckets) {
        const double dAt = (std::log10(static_cast<double>(std::max<std::uint64_t>(1, b.nLowest))) - dLow) / dSpan;
        bars[std::clamp(static_cast<int>(dAt * kBars), 0, kBars - 1)] += b.nCount;
    }
    const std::uint64_t nTop = std::max<std::uint64_t>(1, *std::max_element(bars.begin(), bars.end()));
    const double dBar = static_cast<double>(kWidth - kLeft - kRight) / kBars;
    w << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
      << "\" role=\"img\" aria-label=\"latency histogram\">\n";
    for (int n = 0; n < kBars; ++n) {
        const double dH = (kHeight - kBottom - kTop) * static_cast<double>(bars[n]) / static_cast<double>(nTop);
        w << "<rect x=\"";
        w.Fixed(kLeft + n * dBar, 1) << "\" y=\"";
        w.Fixed(kHeight - kBottom - dH, 1) << "\" width=\"";
        w.Fixed(dBar - 1, 1) << "\" height=\"";
        w.Fixed(dH, 1) << "\" fill=\"#2471a3\"><title>" << static_cast<long long>(bars[n]) << "</title></rect>\n";
    }
    w << "<text x=\"" << kLeft << "\" y=\"" << kHeight - 8 << "\" font-size=\"11\">";
    w.Fixed(std::pow(10.0, dLow) / 1000.0, 3) << " ms</text><text x=\"" << kWidth - 90 << "\" y=\"" << kHeight - 8
                                              << "\" font-size=\"11\">";
    w.Fixed(std::pow(10.0, dHigh) / 1000.0, 3) << " ms</text><text x=\"2\" y=\"" << kTop + 10
                                               << "\" font-size=\"11\">" << static_cast<long long>(nTop)
                                               << "</text>\n</svg>\n";
}

} // namespace

void WriteLoadHtml(std::ostream& out, const SLoadFigures& f) {
    CReportWriter w(out);
    w << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>tranvex-run load "
         "report</title>\n<style>body{font-family:sans-serif;margin:1em 2em}table{border-collapse:collapse}"
         "td,th{border:1px solid #ccc;padding:2px 6px;text-align:right}td:first-child{text-align:left}"
         ".fail{color:#a00}pre{white-space:pre-wrap;background:#f6f6f6;padding:4px}</style>\n</head>\n<body>\n"
         "<h1>tranvex-run load report</h1>\n<p>";
    w.HtmlText(f.strStarted) << ", target ";
    w.HtmlText(f.strTarget) << " component, " << f.nSessions << " sessions, ";
    w.Fixed(f.dSeconds, 2) << " s";
    if (f.dRate > 0)
        w << ", rate asked " << Format("%g", f.dRate) << "/s";
    if (f.nLateSends > 0)
        w << ", " << static_cast<long long>(f.nLateSends) << " sends behind schedule";
    if (f.nStopSignal != 0)
        w << ", <span class=\"fail\">stopped by signal " << f.nStopSignal << "</span>";
    w << "</p>\n<table>\n<tr><th>TranCode</th><th>transactions</th><th>passed</th><th>failed</th><th>per s</th>"
         "<th>p50 ms</th><th>p90 ms</th><th>p99 ms</th><th>p99.9 ms</th><th>max ms</th></tr>\n";
    HtmlCountsRow(w, "all", f.overall, f);
    for (const auto& [strCode, counts] : f.byTranCode)
        HtmlCountsRow(w, strCode, counts, f);
    w << "</table>\n<h2>Latency over time</h2>\n";
    LatencyOverTime(w, f);
    w << "<h2>Latency histogram</h2>\n";
    LatencyHistogramChart(w, f);
    w << "<h2>Failures</h2>\n";
    if (f.failures.empty())
        w << "<p>None.</p>\n";
    for (const SLoadFailure& failure : f.failures) {
        w << "<h3 class=\"fail\">";
        w.HtmlText(failure.strScript) << " pass " << failure.nPass << " block " << failure.t.nNumber << " ";
        w.HtmlText(failure.t.strTranCode) << "</h3>\n<p>";
        w.HtmlText(failure.t.FailureSummary()) << "</p>\n<pre>";
        w.HtmlText(failure.t.strRequest) << "</pre>\n<pre>";
        w.HtmlText(failure.t.strResponse) << "</pre>\n";
    }
    if (f.overall.nFailed > static_cast<long long>(f.failures.size()))
        w << "<p>" << static_cast<long long>(f.overall.nFailed - static_cast<long long>(f.failures.size()))
          << " more failures, not listed.</p>\n";
    w << "</body>\n</html>\n";
}
