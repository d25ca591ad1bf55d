// tranvex-run as a function: the program's whole work behind main(), so tests can drive it.
#pragma once

#include <cstdio>
#include <vector>

#include "platform/MfcTypes.h"

constexpr int kExitPassed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2; // a usage error, or a script or report that cannot be read or written

// args without the program name. Help goes to out, everything else to err.
int RunTranvexRun(const std::vector<CString>& args, std::FILE* out, std::FILE* err, bool bErrIsTerminal);
