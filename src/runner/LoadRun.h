// A load run: SESSIONS concurrent sessions run the scripts over and over, each pass a fresh
// session, until --duration or --count is reached, at --rate when given; the figures go to the
// console, --summary (JSON) and --html. With --data, each pass takes the next data row in turn.
#pragma once

#include <cstdio>

#include "runner/RunUnits.h"
#include "runner/RunnerOptions.h"

// The exit status: 0 every transaction passed, 1 some failed, 2 a report could not be written,
// 128 + the signal when stopped.
// options.scripts are the ones of this shard, and units what they expand into.
int RunLoad(const SRunnerOptions& options, const std::vector<SRunUnit>& units, std::FILE* err,
            bool bErrIsTerminal);
