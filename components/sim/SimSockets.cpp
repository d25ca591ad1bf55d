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
#include <memory>

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

// One asynchronous lookup; owned by the resolver until it has finished or been cancelled.
struct SAsyncLookup {
    std::string host;
    addrinfo hints{};
    gaicb request{};
};

} // namespace

SLookup SystemLookup(const std::string& host, SimClock::time_point deadline) {
    SLookup lookup;
    auto pending = std::make_unique<SAsyncLookup>();
    pending->host = host;
    pending->hints.ai_family = AF_UNSPEC; // both families, whatever this machine is configured for
    pending->hints.ai_socktype = SOCK_STREAM;
    pending->request.ar_name = pending->host.c_str();
    pending->request.ar_request = &pending->hints;
    gaicb* list[] = {&pending->request};
    if (int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr); rc != 0) {
        lookup.reason = gai_strerror(rc);
        return lookup;
    }

    int rc = gai_error(&pending->request);
    while (rc == EAI_INPROGRESS) {
        const long long ms = MsUntil(deadline);
        const timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        const int waited = gai_suspend(list, 1, &wait);
        rc = gai_error(&pending->request);
        if (rc != EAI_INPROGRESS || waited != EAI_AGAIN)
            continue;
        const int cancelled = gai_cancel(&pending->request);
        if (cancelled == EAI_ALLDONE) { // finished after all: use its answer
            rc = gai_error(&pending->request);
            break;
        }
        if (cancelled == EAI_NOTCANCELED)
            pending.release(); // the resolver still writes into it: leave it to the resolver
        lookup.result = SLookup::EResult::TimedOut;
        return lookup;
    }
    if (rc != 0) {
        lookup.reason = gai_strerror(rc);
        return lookup;
    }

    for (const addrinfo* ai = pending->request.ar_result; ai; ai = ai->ai_next) {
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
    freeaddrinfo(pending->request.ar_result);
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
