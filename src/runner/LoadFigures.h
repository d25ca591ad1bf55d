// What a load run measured: counts, latency histograms overall and per TranCode, latency over time,
// and the first failures in full. Written out as the console summary, the JSON summary and the page.
#pragma once

#include <map>
#include <ostream>
#include <vector>

#include "runner/LatencyHistogram.h"
#include "runner/RunResult.h"

struct SLoadCounts {
    long long nTransactions = 0, nPassed = 0, nFailed = 0;
    CLatencyHistogram latency;
};

// One second of the run, by when its transactions ended.
struct SLoadSecond {
    long long nTransactions = 0, nFailed = 0;
    std::uint64_t nSumMicros = 0, nMaxMicros = 0;
};

struct SLoadFailure {
    CString strScript;
    int nPass = 0; // the session's pass, from 1
    STransactionResult t; // masked
};

struct SLoadFigures {
    static constexpr std::size_t kListed = 100; // failures kept in full; later ones are only counted

    // What was asked.
    int nSessions = 0;
    double dDuration = 0, dRate = 0;
    long long nCount = 0;
    CString strTarget, strStarted;
    std::vector<CString> scripts;

    // What happened.
    double dSeconds = 0; // from the first send to the last answer
    long long nLateSends = 0; // sends more than 1 ms behind their schedule at --rate
    int nStopSignal = 0;
    int nBrokenSessions = 0;
    SLoadCounts overall;
    std::map<CString, SLoadCounts> byTranCode;
    std::vector<SLoadSecond> seconds;
    std::vector<SLoadFailure> failures;

    void Record(const CString& strScript, int nPass, STransactionResult& t, double dAtSeconds);
    double PerSecond(long long n) const { return dSeconds > 0 ? static_cast<double>(n) / dSeconds : 0; }
};

// The console's closing lines.
CString LoadConsoleSummary(const SLoadFigures& figures);
// The JSON summary: its layout is documented in docs/runner.md and kept stable.
void WriteLoadJson(std::ostream& out, const SLoadFigures& figures);
// The page: figures, per-TranCode table, latency over time and histogram as inline SVG, failures.
void WriteLoadHtml(std::ostream& out, const SLoadFigures& figures);
