// What tranvex-run runs: each script once, or, with --data, each script once per data row, each
// row in a session of its own with the row's columns as variables over the others.
#pragma once

#include <vector>

#include "runner/RunnerOptions.h"
#include "script/ScriptVariables.h"

struct SRunUnit {
    CString strScript;
    int nSession = 0;    // units of one session share its components and carried tokens
    CString strSuite;    // the name in the reports; empty for the script's own
    CScriptVariables variables;
};

// False with the reason (a variables or data file that cannot be read) before anything is run.
bool MakeRunUnits(const SRunnerOptions& options, std::vector<SRunUnit>& units, CString& strError);
