// The JUnit XML report that CI test reporters read: one test suite per script, one test case per
// block, failures with every failed check and difference, the request and response in system-out.
// Texts are written as given: masking is the caller's.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "runner/ReportText.h"
#include "runner/RunResult.h"

class CJUnitReport {
public:
    // A transaction of script nScript as it ends, written now so that its texts need not be kept.
    void Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
    // The report: each script's counts and problems, around the transactions added for it.
    void Write(std::ostream& out, const std::vector<SScriptResult>& scripts);

private:
    std::vector<std::unique_ptr<CReportWriter>> m_cases; // per script
};
