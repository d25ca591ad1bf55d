// tranvex-run: the process entry point.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "runner/RunnerMain.h"

int main(int argc, char* argv[]) {
    try {
        const std::vector<CString> args(argv + 1, argv + argc);
        return RunTranvexRun(args, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
    } catch (const std::exception& e) { // out of memory or the like: still a message, not a crash
        std::fprintf(stderr, "tranvex-run: %s\n", e.what());
        return kExitUsage;
    }
}
