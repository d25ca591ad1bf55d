// tranvex-run's command line.
#pragma once

#include <map>
#include <set>
#include <vector>

#include "controls/ComponentChoice.h"
#include "controls/PaymentTargets.h"
#include "platform/MfcTypes.h"
#include "runner/ScaleOptions.h"
#include "script/ScriptVariables.h"

struct SRunnerOptions {
    ETarget target = ETarget::Client;
    std::map<ETarget, CString> components; // --<target>-component: wins over TRANVEX_<TARGET>_COMPONENT
    CString strServers; // stored with StoreServerList on the target control before the first script
    CString strRecordDir;
    CString strKnownGoodDir;
    std::set<CString> ignored;
    CString strJUnitFile;
    CString strHtmlFile;
    bool bLog = true;
    bool bMask = true;
    bool bHelp = false;
    bool bVersion = false;
    SScaleOptions scale; // parallel sessions, shards, load runs, time limits
    CVariableMap variables; // --var NAME=VALUE: wins over the variables file and the environment
    CString strVarsFile;    // --vars; unset, TRANVEX_VARS
    CString strDataFile;    // --data: the scripts run once per row
    CString strDataName;    // --data-name: the column that names each row's suites
    std::vector<CString> scripts;
    SCallTapes tapes; // --record-calls, --replay, --replay-ignore
};

// False with a one-line reason on a usage error. --help and --version need no script.
bool ParseRunnerOptions(const std::vector<CString>& args, SRunnerOptions& options, CString& strError);

// The --help text.
const char* RunnerUsage();

// The library behind target's control: its option, else its environment variable.
SComponentChoice ChosenComponent(const SRunnerOptions& options, const STargetInfo& target);
