// tranvex-run's options for runs at scale: parallel sessions, shards, load runs and time limits.
#pragma once

#include <vector>

#include "platform/MfcTypes.h"

struct SScaleOptions {
    int nJobs = 0;      // --jobs: 0 is one session for every script, as in one window
    int nShard = 0;     // --shard K/N: K from 1, N shards; 0 when not sharded
    int nShards = 0;
    int nLoadSessions = 0;    // --load: 0 is a functional run
    double dDuration = 0;     // --duration, seconds
    long long nCount = 0;     // --count, transactions
    double dRate = 0;         // --rate, transactions per second in all; 0 is as fast as answered
    double dTimeout = 0;      // --timeout per call, seconds; 0 is no limit
    CString strSummaryFile;   // --summary FILE.json

    bool IsLoadRun() const { return nLoadSessions > 0; }
};

// True when name is one of these options (each takes a value).
bool IsScaleOption(const CString& name);
// Reads one option's value; false with a one-line reason.
bool SetScaleOption(const CString& name, const CString& value, SScaleOptions& scale, CString& strError);
// The options together, once all are read; false with a one-line reason.
bool CheckScaleOptions(const SScaleOptions& scale, CString& strError);

// The scripts of shard K/N: those whose place in the list sorted by path is K-1 modulo N, kept in
// the order given. Unsharded, the list as it is.
std::vector<CString> ShardScripts(const std::vector<CString>& scripts, const SScaleOptions& scale);
// "2/3", or empty when not sharded.
CString ShardLabel(const SScaleOptions& scale);

// The --help lines of these options.
const char* ScaleUsage();
