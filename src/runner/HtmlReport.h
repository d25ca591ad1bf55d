// The HTML report: one self-contained page (no scripts, no outside files, printable) with a summary
// table and, per transaction, its checks, its known-good differences, the request and the response.
// Texts are written as given: masking is the caller's.
#pragma once

#include <ostream>
#include <vector>

#include "runner/RunResult.h"

struct SReportHeading {
    CString strTarget;  // "client" or "device"
    CString strStarted; // when the run began, local time
};

void WriteHtmlReport(std::ostream& out, const std::vector<SScriptResult>& scripts,
                     const SReportHeading& heading);
