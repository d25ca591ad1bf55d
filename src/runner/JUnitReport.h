// The JUnit XML report that CI test reporters read: one test suite per script, one test case per
// block, failures with every failed check and difference, the request and response in system-out.
// Texts are written as given: masking is the caller's.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "runner/ReportText.h"
#include "runner/RunResult.h"

class CJUnitReport {
public:
    // The test cases wait in a spool beside strFile until their counts are known.
    bool Open(const CString& strFile, CString& strError) { return m_spool.Open(strFile, strError); }
    // A transaction of script nScript as it ends, written now so that its texts need not be kept.
    void Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
    // The report: each script's counts and problems, around the transactions added for it, in the
    // scripts' order; false when the spool could not be read back.
    // A shard ("2/3") is named in the document's name and in each suite's properties.
    bool Write(std::ostream& out, const std::vector<SScriptResult>& scripts, std::string_view strShard = {});

private:
    CReportSpool m_spool;
    std::vector<CReportSpool::Part> m_cases; // per script, by its place in the run
};
