// A load run: SESSIONS concurrent sessions run the scripts over and over, each pass a fresh
// session, until --duration or --count is reached, at --rate when given; the figures go to the
// console, --summary (JSON) and --html.
#pragma once

#include <cstdio>

#include "runner/RunnerOptions.h"

// The exit status: 0 every transaction passed, 1 some failed, 2 a report could not be written,
// 128 + the signal when stopped.
int RunLoad(const SRunnerOptions& options, std::FILE* err, bool bErrIsTerminal);
