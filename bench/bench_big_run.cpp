// tranvex-run over a 47 MB script (the sample's blocks repeated: about 136,000 transactions, some
// thousands failing once the gift card's balance runs out) with JUnit and HTML reports, as its own
// process: its peak memory against the script's size, and the size of the HTML page. Not timed.
#include "RatioReporter.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kScriptBytes = 47'000'000;

std::string Megabytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

// The sample's header, its blocks repeated to the size, its end.
void WriteScript(const fs::path& script) {
    std::ostringstream in;
    in << std::ifstream(fs::path(TRANVEX_SOURCE_DIR) / "examples" / "TStream.xml", std::ios::binary).rdbuf();
    const std::string text = in.str();
    const std::size_t bodyAt = text.find('\n', text.find("<TStream>")) + 1;
    const std::size_t endAt = text.rfind("</TStream>");
    const std::string body = text.substr(bodyAt, endAt - bodyAt);
    std::ofstream out(script, std::ios::binary);
    out << text.substr(0, bodyAt);
    while (static_cast<std::uintmax_t>(out.tellp()) + body.size() < kScriptBytes)
        out << body;
    out << text.substr(endAt);
}

} // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "tranvex-bench-big-run-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const fs::path script = dir / "TStream.xml";
    WriteScript(script);

    const pid_t child = ::fork();
    if (child == 0) {
        // In the temporary folder, so that the daily log goes there too.
        if (::chdir(dir.c_str()) != 0)
            ::_exit(127);
        ::setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 0);
        ::freopen("/dev/null", "w", stderr);
        ::execl(TRANVEX_RUN, TRANVEX_RUN, "--junit", "r.xml", "--html", "r.html", "TStream.xml",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double scriptBytes = static_cast<double>(fs::file_size(script));
    const double peakBytes = static_cast<double>(usage.ru_maxrss) * 1024;
    std::error_code ec;
    const double htmlBytes = static_cast<double>(fs::file_size(dir / "r.html", ec));
    const double junitBytes = static_cast<double>(fs::file_size(dir / "r.xml", ec));
    // 1: some transactions failed, as the gift card runs dry; anything else is a broken run.
    const bool bRan = WIFEXITED(status) && WEXITSTATUS(status) == 1;
    std::fprintf(stderr, "exit status %d; JUnit %s\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                 Megabytes(junitBytes).c_str());
    fs::remove_all(dir, ec);
    if (!bRan)
        return 1;
    PrintFigure("tranvex-run of a 47 MB script with JUnit and HTML reports: peak memory / script size",
                Megabytes(peakBytes), Megabytes(scriptBytes), peakBytes / scriptBytes, "<= 3");
    PrintFigure("its HTML report", Megabytes(htmlBytes), "-", 0, "<= 30 MB");
    return 0;
}
