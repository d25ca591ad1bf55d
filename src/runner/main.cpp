// tranvex-run: the process entry point.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "runner/RunnerMain.h"
#include "runner/SessionThreads.h"

int main(int argc, char* argv[]) {
    try {
        const std::vector<CString> args(argv + 1, argv + argc);
        const int status = RunTranvexRun(args, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
        if (RunnerLeftThreadsRunning()) {
            // A thread is still in a component's call: destroying the program's statics under it
            // could crash it, so the process ends here, its reports and log already written.
            std::fflush(stdout);
            std::fflush(stderr);
            ::_exit(status);
        }
        return status;
    } catch (const std::exception& e) { // out of memory or the like: still a message, not a crash
        std::fprintf(stderr, "tranvex-run: %s\n", e.what());
        return kExitUsage;
    }
}
