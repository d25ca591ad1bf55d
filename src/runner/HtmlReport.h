// The HTML report: one self-contained page (no scripts, no outside files, printable) with a summary
// table and, per transaction, its checks, its known-good differences, the request and the response.
// Texts are written as given: masking is the caller's.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "runner/ReportText.h"
#include "runner/RunResult.h"

struct SReportHeading {
    CString strTarget;  // "client" or "device"
    CString strStarted; // when the run began, local time
    CString strShard;   // "2/3" when the run was one shard of several
};

// The page keeps its size within what a browser opens usefully, however long the run: it lists every
// failure, but shows the request and response of only the first kInFull failed transactions and the
// first kInFull passed ones; later failures keep their reasons, later passes are only counted, and
// the page says so. The JUnit report keeps everything.
class CHtmlReport {
public:
    static constexpr int kInFull = 1000;

    // The rows and sections wait in spools beside strFile until the totals are known.
    bool Open(const CString& strFile, CString& strError);
    // A transaction of script nScript as it ends, written now so that its texts need not be kept.
    void Add(std::size_t nScript, std::string_view strScriptName, const STransactionResult& t);
    // The page: totals, the summary table, and each script's problems and transactions, in the
    // scripts' order; false when a spool could not be read back.
    bool Write(std::ostream& out, const std::vector<SScriptResult>& scripts, const SReportHeading& heading);

private:
    struct SScriptParts {
        CReportSpool::Part rows, sections;
    };
    CReportSpool m_rows, m_sections;
    std::vector<SScriptParts> m_parts; // per script, by its place in the run
    int m_nFailedInFull = 0, m_nPassedInFull = 0;
    int m_nFailedWithoutTexts = 0, m_nPassedLeftOut = 0;
};
