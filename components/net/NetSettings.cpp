// The network component's environment and its stored server lists.
#include "net/NetSettings.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tvxnet {

namespace {

// At most a day, so that the milliseconds cannot overflow.
constexpr double kMaxSeconds = 86400;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

void ReadSeconds(const char* name, std::chrono::milliseconds& limit, std::string& problem) {
    const std::string text = Environment(name);
    if (text.empty())
        return;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxSeconds) {
        if (problem.empty())
            problem = std::string(name) + " is \"" + text + "\": give a number of seconds above 0";
        return;
    }
    limit = std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
}

} // namespace

SNetLimits LimitsFromEnvironment(std::string& strProblem) {
    SNetLimits limits;
    ReadSeconds("TRANVEX_NET_CONNECT_TIMEOUT", limits.connect, strProblem);
    ReadSeconds("TRANVEX_NET_TIMEOUT", limits.whole, strProblem);
    limits.strCaFile = Environment("TRANVEX_NET_CAFILE");
    limits.strCertFile = Environment("TRANVEX_NET_CERT");
    limits.strKeyFile = Environment("TRANVEX_NET_KEY");
    return limits;
}

std::string StoredListPath(const std::string& targetName) {
    std::string base = Environment("XDG_CONFIG_HOME");
    if (base.empty() || base.front() != '/') { // a relative value is to be ignored
        const std::string home = Environment("HOME");
        if (home.empty())
            return {};
        base = home + "/.config";
    }
    return base + "/tranvex/net-" + targetName + "-servers";
}

std::string ReadStoredList(const std::string& path) {
    // A plain read: a load run reads the list for every fresh session, and a file stream's set-up
    // cost more than the read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(got));
    ::close(fd);
    return got < 0 ? std::string() : text;
}

std::string WriteStoredList(const std::string& path, const std::string& text) {
    if (path.empty())
        return "neither XDG_CONFIG_HOME nor HOME is set";
    // A load run stores the same list on every fresh session: a file that holds it already stays,
    // as renaming over it made the file system write to the disk each time.
    if (!text.empty() && ReadStoredList(path) == text)
        return {};
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    if (error)
        return "cannot make the folder of " + path + ": " + error.message();
    // A list half written must never be what the next run reads.
    // Sessions on threads of one process may store at once: each writes a file of its own.
    static std::atomic<unsigned long> nWrites{0};
    const std::string temporary =
        path + ".new" + std::to_string(::getpid()) + "-" + std::to_string(++nWrites);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::filesystem::remove(temporary, error);
            return "cannot write " + temporary + ": " + reason;
        }
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        const std::string reason = error.message();
        std::filesystem::remove(temporary, error);
        return "cannot write " + path + ": " + reason;
    }
    return {};
}

} // namespace tvxnet
