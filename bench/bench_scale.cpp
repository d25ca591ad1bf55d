// tranvex-run at scale, each figure beside a baseline from the same run: a load run's rate against
// tranvex-host over HTTP with keep-alive beside wrk's with as many connections as sessions, posting
// the same sale; and --jobs 2 over 100 scripts on the simulated components beside --jobs 1.
// Without wrk the first figure is skipped with a line saying so.
#include "ChildProcess.h"
#include "RatioReporter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSessions = 8;        // tranvex-run --load, and wrk's connections
constexpr const char* kSeconds = "3"; // each load round
constexpr int kLoadRounds = 2;      // in turns, the best of each kept
constexpr int kScripts = 100;       // for --jobs 2
constexpr int kCopies = 30;         // the sample's blocks in each of them
constexpr int kJobRounds = 3;       // in turns, the median kept

std::string ReadText(const fs::path& path) {
    std::ostringstream in;
    in << std::ifstream(path, std::ios::binary).rdbuf();
    return in.str();
}

std::string FindProgram(const std::string& name) {
    std::istringstream dirs(std::string(::getenv("PATH") ? ::getenv("PATH") : "") + ":/usr/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0)
            return (fs::path(dir) / name).string();
    return "";
}

// A child, its standard output to the file out (or /dev/null), its standard error to /dev/null.
pid_t Start(const std::vector<std::string>& args, const fs::path& out = {}) {
    const int fd = out.empty() ? -1 : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t child = tvxbench::StartChild(args, fd);
    if (fd >= 0)
        ::close(fd);
    return child;
}

int Wait(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double SecondsOf(const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    if (Wait(Start(args)) > 1) // 1 is failed transactions, which do not make the run slower
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The sample's first Sale block alone, as a script.
std::string SaleScript() {
    const std::string text = ReadText(fs::path(TRANVEX_SOURCE_DIR) / "examples" / "TStream.xml");
    const std::size_t sale = text.find("<TranCode>Sale</TranCode>");
    const std::size_t begin = text.rfind("<Transaction>", sale);
    const std::size_t end = text.find("</Transaction>", sale) + std::strlen("</Transaction>");
    return "<?xml version=\"1.0\"?>\n<TStream>\n" + text.substr(begin, end - begin) + "\n</TStream>\n";
}

std::string Rate(double perSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f sales/s", perSecond);
    return text;
}

double NumberAfter(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? 0 : std::atof(text.c_str() + at + key.size());
}

bool LoadFigure(const fs::path& dir) {
    const std::string wrk = FindProgram("wrk");
    if (wrk.empty()) {
        std::printf("skipped: tranvex-run --load beside wrk needs wrk (Debian package wrk)\n");
        return true;
    }
    const fs::path hostOut = dir / "host.out";
    const pid_t host = Start({TRANVEX_HOST, "--listen", "127.0.0.1:0", "--protocol", "http"}, hostOut);
    int port = 0;
    for (int tries = 0; tries < 200 && port == 0; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        port = static_cast<int>(NumberAfter(ReadText(hostOut), "listening on 127.0.0.1:"));
    }
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
    std::ofstream(dir / "sale.xml") << SaleScript();
    // wrk posts the request tranvex-run sends for that block (the network component's own text).
    std::ofstream(dir / "sale.lua") << "wrk.method = \"POST\"\n"
                                    << "wrk.headers[\"Content-Type\"] = \"text/xml; charset=utf-8\"\n"
                                    << "local file = io.open(\"" << (dir / "sale.xml").string() << "\", \"rb\")\n"
                                    << "wrk.body = file:read(\"*a\")\nfile:close()\n";
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1); // where the network component keeps its list
    double best = 0, bestWrk = 0;
    for (int round = 0; port && round < kLoadRounds; ++round) {
        const fs::path summary = dir / "summary.json";
        Wait(Start({TRANVEX_RUN, "--no-log", "--client-component", "net", "--servers", url, "--load",
                    std::to_string(kSessions), "--duration", kSeconds, "--summary", summary.string(),
                    (dir / "sale.xml").string()}));
        const std::string figures = ReadText(summary);
        const bool bAllPassed = NumberAfter(figures, "\"failed\": ") == 0 && NumberAfter(figures, "\"passed\": ") > 0;
        best = std::max(best, bAllPassed ? NumberAfter(figures, "\"per_second\": ") : 0);
        const std::string connections = "-c" + std::to_string(kSessions);
        Wait(Start({wrk, "-t2", connections, std::string("-d") + kSeconds + "s", "-s", (dir / "sale.lua").string(), url},
                   dir / "wrk.out"));
        const std::string wrkText = ReadText(dir / "wrk.out");
        std::fprintf(stderr, "round %d: tranvex-run %.0f/s, wrk %s", round + 1, NumberAfter(figures, "\"per_second\": "),
                     wrkText.c_str());
        if (wrkText.find("Non-2xx") == std::string::npos)
            bestWrk = std::max(bestWrk, NumberAfter(wrkText, "Requests/sec:"));
    }
    ::kill(host, SIGTERM);
    Wait(host);
    if (best <= 0 || bestWrk <= 0) {
        std::fprintf(stderr, "tranvex-host, tranvex-run or wrk failed\n");
        return false;
    }
    PrintFigure("tranvex-run --load 8 sales/s to tranvex-host over HTTP with keep-alive / wrk "
                "-t2 -c8, the same sale",
                Rate(best), Rate(bestWrk), best / bestWrk, ">= 0.5");
    return true;
}

bool JobsFigure(const fs::path& dir) {
    const std::string sample = ReadText(fs::path(TRANVEX_SOURCE_DIR) / "examples" / "TStream.xml");
    const std::size_t open = sample.find("<TStream>") + std::strlen("<TStream>");
    const std::size_t close = sample.rfind("</TStream>");
    std::string blocks;
    for (int i = 0; i < kCopies; ++i)
        blocks += sample.substr(open, close - open);
    std::vector<std::string> scripts;
    for (int i = 0; i < kScripts; ++i) {
        scripts.push_back((dir / std::string("s").append(std::to_string(i)).append(".xml")).string());
        std::ofstream(scripts.back()) << sample.substr(0, open) << blocks << "</TStream>\n";
    }
    // The baseline is --jobs 1: the same work, a fresh session per script, one at a time. Without
    // --jobs one session carries its simulated processor's state through all 100 scripts, so the
    // sample's gift card runs dry and the work differs.
    std::vector<std::string> one = {TRANVEX_RUN, "--no-log", "--client-component", "sim", "--jobs", "1"};
    std::vector<std::string> two = {TRANVEX_RUN, "--no-log", "--client-component", "sim", "--jobs", "2"};
    one.insert(one.end(), scripts.begin(), scripts.end());
    two.insert(two.end(), scripts.begin(), scripts.end());
    std::vector<double> oneSeconds, twoSeconds;
    for (int round = 0; round < kJobRounds; ++round) {
        oneSeconds.push_back(SecondsOf(one));
        twoSeconds.push_back(SecondsOf(two));
        std::fprintf(stderr, "round %d: one session %.3f s, --jobs 2 %.3f s\n", round + 1, oneSeconds.back(),
                     twoSeconds.back());
    }
    std::sort(oneSeconds.begin(), oneSeconds.end());
    std::sort(twoSeconds.begin(), twoSeconds.end());
    const double a = oneSeconds[kJobRounds / 2], b = twoSeconds[kJobRounds / 2];
    if (a <= 0 || b <= 0) {
        std::fprintf(stderr, "tranvex-run failed\n");
        return false;
    }
    PrintFigure("tranvex-run --jobs 2 over 100 scripts on the simulated components / --jobs 1",
                FormatNs(b * 1e9), FormatNs(a * 1e9), b / a, "<= 0.6");
    return true;
}

} // namespace

int main() {
    ::signal(SIGPIPE, SIG_IGN);
    std::string pattern = (fs::temp_directory_path() / "tranvex-bench-scale-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const bool bOk = JobsFigure(dir) & LoadFigure(dir);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return bOk ? 0 : 1;
}
