// Name lookups and TCP connects with deadlines.
#include "sim/SimSockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tvxsim {

namespace {

long long MsUntil(SimClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SimClock::now()).count();
    return std::max<long long>(left, 0);
}

long long MsSince(SimClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SimClock::now() - start).count();
}

std::string AddressText(const sockaddr* sa) {
    char text[INET6_ADDRSTRLEN] = "";
    const void* raw = sa->sa_family == AF_INET6
                          ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr)
                          : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(sa)->sin_addr);
    inet_ntop(sa->sa_family, raw, text, sizeof text);
    return text;
}

// One lookup on a thread of its own. getaddrinfo cannot be interrupted, so a caller that stops
// waiting leaves the thread to finish and the last owner to free the answer; the component library
// is linked so that it is never unloaded, so such a thread keeps its code.
struct SLookupState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int rc = 0;
    addrinfo* result = nullptr;
    ~SLookupState() {
        if (result)
            freeaddrinfo(result);
    }
};

} // namespace

SLookup SystemLookup(const std::string& host, SimClock::time_point deadline) {
    SLookup lookup;
    auto state = std::make_shared<SLookupState>();
    try {
        std::thread([state, host] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC; // IPv4 and IPv6 alike
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* result = nullptr;
            const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
            std::lock_guard lock(state->mutex);
            state->rc = rc;
            state->result = result;
            state->finished = true;
            state->done.notify_one();
        }).detach();
    } catch (const std::system_error& e) {
        lookup.reason = e.what();
        return lookup;
    }

    std::unique_lock lock(state->mutex);
    if (!state->done.wait_until(lock, deadline, [&] { return state->finished; })) {
        lookup.result = SLookup::EResult::TimedOut;
        return lookup;
    }
    if (state->rc != 0) {
        lookup.reason = gai_strerror(state->rc);
        return lookup;
    }

    for (const addrinfo* ai = state->result; ai; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6)
            continue;
        SAddress address;
        std::memcpy(&address.storage, ai->ai_addr, ai->ai_addrlen);
        address.length = ai->ai_addrlen;
        address.text = AddressText(ai->ai_addr);
        const bool seen = std::any_of(lookup.addresses.begin(), lookup.addresses.end(),
                                      [&](const SAddress& known) { return known.text == address.text; });
        if (!seen)
            lookup.addresses.push_back(std::move(address));
    }
    lookup.result = lookup.addresses.empty() ? SLookup::EResult::NotFound : SLookup::EResult::Found;
    if (lookup.addresses.empty())
        lookup.reason = "no IPv4 or IPv6 address";
    return lookup;
}

SProbe ProbeTcp(const SAddress& address, int port, SimClock::time_point deadline) {
    SProbe probe;
    sockaddr_storage target = address.storage;
    if (target.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&target)->sin6_port = htons(static_cast<uint16_t>(port));
    else
        reinterpret_cast<sockaddr_in*>(&target)->sin_port = htons(static_cast<uint16_t>(port));

    const int fd = ::socket(target.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        probe.reason = std::strerror(errno);
        return probe;
    }
    const SimClock::time_point start = SimClock::now();
    int error = 0;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), address.length) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd wait{fd, POLLOUT, 0};
            int ready;
            do
                ready = ::poll(&wait, 1, static_cast<int>(MsUntil(deadline)));
            while (ready < 0 && errno == EINTR);
            socklen_t size = sizeof error;
            if (ready == 0)
                error = ETIMEDOUT;
            else if (ready < 0)
                error = errno;
            else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    probe.ms = MsSince(start);
    ::close(fd);

    switch (error) {
    case 0:
        probe.result = SProbe::EResult::Answered;
        break;
    case ECONNREFUSED:
        probe.result = SProbe::EResult::Refused;
        break;
    case ETIMEDOUT:
        probe.result = SProbe::EResult::TimedOut;
        break;
    default:
        probe.reason = std::strerror(error);
        break;
    }
    return probe;
}

} // namespace tvxsim
