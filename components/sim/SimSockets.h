// The real network under the server-list methods: name lookups through the system resolver and TCP
// connects, each bounded by a deadline so a caller never waits longer than it allows.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <string>
#include <vector>

namespace tvxsim {

using SimClock = std::chrono::steady_clock;

struct SAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    std::string text; // "127.0.0.1", "::1"
};

struct SLookup {
    enum class EResult { Found, NotFound, TimedOut };
    EResult result = EResult::NotFound;
    std::vector<SAddress> addresses; // IPv4 and IPv6, in the resolver's order, no repeats
    std::string reason;              // the resolver's words when nothing was found
};

// getaddrinfo for stream sockets, IPv4 and IPv6, waiting until deadline at most. A lookup that
// cannot be cancelled in time is left to finish on its own.
SLookup SystemLookup(const std::string& host, SimClock::time_point deadline);

struct SProbe {
    enum class EResult { Answered, Refused, TimedOut, Failed };
    EResult result = EResult::Failed;
    long long ms = 0;   // from the connect to its outcome
    std::string reason; // the system's words for Failed
};

// Opens (and closes again) a TCP connection to address:port, giving up at deadline.
SProbe ProbeTcp(const SAddress& address, int port, SimClock::time_point deadline);

} // namespace tvxsim
