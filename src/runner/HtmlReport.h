// The HTML report: one self-contained page (no scripts, no outside files, printable) with a summary
// table and, per transaction, its checks, its known-good differences, the request and the response.
// Texts are written as given: masking is the caller's.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "runner/ReportText.h"
#include "runner/RunResult.h"

struct SReportHeading {
    CString strTarget;  // "client" or "device"
    CString strStarted; // when the run began, local time
};

class CHtmlReport {
public:
    // A transaction of script nScript as it ends, written now so that its texts need not be kept.
    void Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
    // The page: totals, the summary table, and each script's problems and transactions.
    void Write(std::ostream& out, const std::vector<SScriptResult>& scripts, const SReportHeading& heading);

private:
    std::vector<std::unique_ptr<CReportWriter>> m_sections; // per script
};
