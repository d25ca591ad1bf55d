// tranvex-run's command line.
#pragma once

#include <set>
#include <vector>

#include "platform/MfcTypes.h"

struct SRunnerOptions {
    int nTarget = 0; // 0 client, 1 device
    CString strRecordDir;
    CString strKnownGoodDir;
    std::set<CString> ignored;
    CString strJUnitFile;
    CString strHtmlFile;
    bool bLog = true;
    bool bMask = true;
    bool bHelp = false;
    std::vector<CString> scripts;
};

// False with a one-line reason on a usage error. --help needs no script.
bool ParseRunnerOptions(const std::vector<CString>& args, SRunnerOptions& options, CString& strError);

// The --help text.
const char* RunnerUsage();
