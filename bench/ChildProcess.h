// The programs a benchmark starts as processes of their own (tranvex-host, tranvex-run, wrk, nginx).
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace tvxbench {

// args[0] is the program's path. Its stdout goes to outFd (or /dev/null when -1), its stderr to
// /dev/null, so that a pipe nobody reads never holds it.
inline pid_t StartChild(const std::vector<std::string>& args, int outFd = -1) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(outFd >= 0 ? outFd : null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

} // namespace tvxbench
