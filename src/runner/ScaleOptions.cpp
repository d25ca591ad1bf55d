// Reading and checking the options of runs at scale.
#include "runner/ScaleOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace {

bool ReadWhole(const CString& text, long long& n) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, n);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ReadPositive(const CString& text, double& d) {
    if (text.empty() || text.find_first_not_of("0123456789.") != CString::npos)
        return false;
    char* end = nullptr;
    d = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(d) && d > 0;
}

constexpr long long kMaxSessions = 1024;

} // namespace

bool IsScaleOption(const CString& name) {
    for (const char* option : {"--jobs", "--shard", "--load", "--duration", "--count", "--rate", "--timeout",
                               "--summary"})
        if (name == option)
            return true;
    return false;
}

bool SetScaleOption(const CString& name, const CString& value, SScaleOptions& scale, CString& strError) {
    long long n = 0;
    double d = 0;
    if (name == "--jobs" || name == "--load") {
        if (!ReadWhole(value, n) || n < 1 || n > kMaxSessions) {
            strError = name + " needs a number of sessions from 1 to " + std::to_string(kMaxSessions) +
                       ", not \"" + value + "\"";
            return false;
        }
        (name == "--jobs" ? scale.nJobs : scale.nLoadSessions) = static_cast<int>(n);
    } else if (name == "--shard") {
        const auto slash = value.find('/');
        long long k = 0;
        if (slash == CString::npos || !ReadWhole(value.substr(0, slash), k) ||
            !ReadWhole(value.substr(slash + 1), n) || n < 1 || k < 1 || k > n || n > 1000000) {
            strError = "--shard needs K/N with 1 <= K <= N, not \"" + value + "\"";
            return false;
        }
        scale.nShard = static_cast<int>(k);
        scale.nShards = static_cast<int>(n);
    } else if (name == "--count") {
        if (!ReadWhole(value, n) || n < 1) {
            strError = "--count needs a number of transactions above 0, not \"" + value + "\"";
            return false;
        }
        scale.nCount = n;
    } else if (name == "--summary") {
        if (value.empty()) {
            strError = "option --summary needs a value";
            return false;
        }
        scale.strSummaryFile = value;
    } else {
        // --duration, --rate, --timeout: positive decimal numbers
        if (!ReadPositive(value, d) || d > 1e7) {
            strError = name + " needs a positive number, not \"" + value + "\"";
            return false;
        }
        (name == "--duration" ? scale.dDuration : name == "--rate" ? scale.dRate : scale.dTimeout) = d;
    }
    return true;
}

bool CheckScaleOptions(const SScaleOptions& scale, CString& strError) {
    if (scale.IsLoadRun()) {
        if ((scale.dDuration > 0) == (scale.nCount > 0))
            strError = "--load needs either --duration or --count";
        else if (scale.nJobs > 0)
            strError = "--jobs and --load cannot be used together: --load gives the number of sessions";
    } else if (scale.dDuration > 0 || scale.nCount > 0 || scale.dRate > 0) {
        strError = "--duration, --count and --rate need --load";
    }
    return strError.empty();
}

std::vector<CString> ShardScripts(const std::vector<CString>& scripts, const SScaleOptions& scale) {
    if (scale.nShards == 0)
        return scripts;
    std::vector<std::size_t> sorted(scripts.size());
    std::iota(sorted.begin(), sorted.end(), std::size_t{0});
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](std::size_t a, std::size_t b) { return scripts[a] < scripts[b]; });
    std::vector<bool> kept(scripts.size());
    for (std::size_t place = 0; place < sorted.size(); ++place)
        kept[sorted[place]] = place % static_cast<std::size_t>(scale.nShards) ==
                              static_cast<std::size_t>(scale.nShard - 1);
    std::vector<CString> shard;
    for (std::size_t i = 0; i < scripts.size(); ++i)
        if (kept[i])
            shard.push_back(scripts[i]);
    return shard;
}

CString ShardLabel(const SScaleOptions& scale) {
    if (scale.nShards == 0)
        return {};
    return std::to_string(scale.nShard) + "/" + std::to_string(scale.nShards);
}

const char* ScaleUsage() {
    return "  --jobs N                run the scripts in N parallel sessions, each script in a session\n"
           "                          of its own from start to end (default: one session for all)\n"
           "  --shard K/N             run only shard K of N: the scripts whose place in the list sorted\n"
           "                          by path is K-1 modulo N\n"
           "  --load SESSIONS         a load run: SESSIONS concurrent sessions run the scripts over and\n"
           "                          over, each pass a fresh session, until --duration or --count\n"
           "  --duration SECONDS      how long a load run sends\n"
           "  --count TRANSACTIONS    how many transactions a load run sends\n"
           "  --rate TPS              cap a load run's total rate: sends go out on schedule, and latency\n"
           "                          counts from the scheduled time\n"
           "  --summary FILE.json     write a load run's figures as JSON\n"
           "  --timeout SECONDS       a call that takes longer fails its transaction; that session is\n"
           "                          then broken and the rest of its scripts are not run\n";
}
