// tranvex-run: the process entry point.
#include <unistd.h>

#include "runner/RunnerMain.h"

int main(int argc, char* argv[]) {
    const std::vector<CString> args(argv + 1, argv + argc);
    return RunTranvexRun(args, stdout, stderr, ::isatty(STDERR_FILENO) == 1);
}
