// tranvex-run called in the test's own process, as its main would call it, logging nothing.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "runner/RunnerMain.h"

namespace tvxtest {

// The exit status; what the program printed is in out and err. Writes stdout.txt and stderr.txt in
// the current folder (a test's temporary one).
inline int RunRunnerInProcess(std::vector<CString> args, std::string& out, std::string& err) {
    args.insert(args.begin(), "--no-log");
    std::FILE* outFile = std::fopen("stdout.txt", "w");
    std::FILE* errFile = std::fopen("stderr.txt", "w");
    const int status = RunTranvexRun(args, outFile, errFile, false);
    std::fclose(outFile), std::fclose(errFile);
    out = ReadFile("stdout.txt"), err = ReadFile("stderr.txt");
    return status;
}

} // namespace tvxtest
