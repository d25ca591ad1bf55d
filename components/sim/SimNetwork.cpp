// The server-list methods over the real network.
#include "sim/SimNetwork.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "sim/SimRequest.h"
#include "sim/SimText.h"

namespace tvxsim {

namespace {

constexpr std::string_view kSeparators = " \t\r\n,;";

CSimResponse Done(std::string text) {
    return CSimResponse(kOriginClient, rc::kOk, kStatusSuccess, std::move(text));
}

CSimResponse Unreachable(std::string text) {
    return CSimResponse::Error(kOriginServer, rc::kUnreachable, std::move(text));
}

std::string Quoted(std::string_view text) {
    std::string out(1, '"');
    out.append(Clip(text)).push_back('"');
    return out;
}

bool IsAddress(int family, const std::string& text) {
    unsigned char raw[16];
    return inet_pton(family, text.c_str(), raw) == 1;
}

// 1 to 65535, digits only; 0 for anything else.
int PortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5 || !IsDigits(text))
        return 0;
    const int port = std::stoi(std::string(text));
    return port <= 65535 ? port : 0;
}

std::string HostPort(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string Outcome(const SProbe& probe) {
    const std::string ms = std::to_string(probe.ms) + " ms";
    switch (probe.result) {
    case SProbe::EResult::Answered:
        return "answered in " + ms;
    case SProbe::EResult::Refused:
        return "refused the connection after " + ms;
    case SProbe::EResult::TimedOut:
        return "gave no answer within " + ms;
    case SProbe::EResult::Failed:
        break;
    }
    return "could not be reached after " + ms + " (" + probe.reason + ")";
}

SimClock::time_point Earlier(SimClock::time_point a, SimClock::time_point b) {
    return std::min(a, b);
}

} // namespace

bool CSimNetwork::IsHostName(std::string_view text) {
    if (text.empty() || text.size() > 253)
        return false;
    bool allNumeric = true;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = text.find('.', pos);
        std::string_view label =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        for (char c : label) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
                return false;
            if (!std::isdigit(static_cast<unsigned char>(c)))
                allNumeric = false;
        }
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return !allNumeric; // digits and dots only must be a valid IPv4 address instead
}

// "host", "host:port", "1.2.3.4:port", "::1", "[::1]" or "[::1]:port".
SServer CSimNetwork::ParseServer(std::string_view entry) {
    SServer server;
    std::string_view port;
    if (!entry.empty() && entry.front() == '[') {
        const std::size_t close = entry.find(']');
        if (close == std::string_view::npos || (close + 1 < entry.size() && entry[close + 1] != ':'))
            RejectClient(rc::kBadArgument, "Invalid server name or address " + Quoted(entry));
        server.host = entry.substr(1, close - 1);
        if (close + 1 < entry.size())
            port = entry.substr(close + 2);
        if (!IsAddress(AF_INET6, server.host))
            RejectClient(rc::kBadArgument, "Invalid IPv6 address " + Quoted(server.host));
    } else if (std::count(entry.begin(), entry.end(), ':') > 1) {
        server.host = entry; // a bare IPv6 address, which has no room for a port
        if (!IsAddress(AF_INET6, server.host))
            RejectClient(rc::kBadArgument, "Invalid IPv6 address " + Quoted(server.host));
    } else {
        const std::size_t colon = entry.find(':');
        server.host = entry.substr(0, colon);
        if (colon != std::string_view::npos)
            port = entry.substr(colon + 1);
        if (!IsAddress(AF_INET, server.host) && !IsHostName(server.host))
            RejectClient(rc::kBadArgument, "Invalid server name or address " + Quoted(server.host));
    }
    if (port.data() && (server.port = PortNumber(port)) == 0)
        RejectClient(rc::kBadArgument, "Invalid port " + Quoted(port) + " in " + Quoted(entry) +
                                           ": use a number from 1 to 65535");
    return server;
}

std::vector<SServer> CSimNetwork::ParseServerList(std::string_view list) {
    if (list.size() > kMaxServerListText)
        RejectClient(rc::kBadArgument,
                     "Server list longer than " + std::to_string(kMaxServerListText) + " characters");
    std::vector<SServer> servers;
    std::size_t pos = list.find_first_not_of(kSeparators);
    while (pos != std::string_view::npos) {
        const std::size_t end = std::min(list.find_first_of(kSeparators, pos), list.size());
        SServer server = ParseServer(list.substr(pos, end - pos));
        const bool seen = std::any_of(servers.begin(), servers.end(), [&](const SServer& known) {
            return known.port == server.port && EqualsNoCase(known.host, server.host);
        });
        if (!seen)
            servers.push_back(std::move(server));
        if (servers.size() > kMaxServers)
            RejectClient(rc::kBadArgument,
                         "More than " + std::to_string(kMaxServers) + " servers in the list");
        pos = list.find_first_not_of(kSeparators, end);
    }
    if (servers.empty())
        RejectClient(rc::kBadArgument, "The server list is empty");
    return servers;
}

int CSimNetwork::ParsePingPort(std::string_view text) {
    const std::string_view port = Trim(text);
    if (port.empty())
        return 0;
    const int number = PortNumber(port);
    if (number == 0)
        RejectClient(rc::kBadArgument,
                     "Invalid ping port " + Quoted(port) + ": use a number from 1 to 65535");
    return number;
}

std::string CSimNetwork::Ping(const SServer& server, int port, SimClock::time_point deadline,
                              bool& answered) const {
    answered = false;
    const std::string who = HostPort(server.host, port);
    const SLookup lookup = m_lookup(server.host, deadline);
    if (lookup.result == SLookup::EResult::TimedOut)
        return who + ": the name lookup gave no answer in time";
    if (lookup.result == SLookup::EResult::NotFound)
        return who + ": name not found (" + lookup.reason + ")";

    // An address typed as such is not repeated after it.
    const bool literal = lookup.addresses.size() == 1 && lookup.addresses[0].text == server.host;
    std::string tried;
    for (const SAddress& address : lookup.addresses) {
        if (!tried.empty() && SimClock::now() >= deadline)
            break; // each address in turn, while time is left
        const SProbe probe = ProbeTcp(address, port, deadline);
        answered = probe.result == SProbe::EResult::Answered;
        tried += (tried.empty() ? "" : ", ") + (literal ? "" : address.text + " ") + Outcome(probe);
        if (answered)
            break;
    }
    return who + (literal ? " " : ": ") + tried;
}

CSimResponse CSimNetwork::StoreServerList(const std::string& list) {
    m_arrServers = ParseServerList(list);
    std::string names;
    for (const SServer& server : m_arrServers)
        names +=
            (names.empty() ? "" : ", ") + (server.port ? HostPort(server.host, server.port) : server.host);
    return Done("Server list stored: " + std::to_string(m_arrServers.size()) +
                (m_arrServers.size() == 1 ? " server (" : " servers (") + names + ")");
}

CSimResponse CSimNetwork::PingServerList(const std::string& portText) const {
    const int port = ParsePingPort(portText);
    if (m_arrServers.empty())
        RejectClient(rc::kBadArgument, "No server list stored");

    const SimClock::time_point end = SimClock::now() + kListTimeout;
    std::string details;
    std::size_t answered = 0;
    for (const SServer& server : m_arrServers) {
        const int use = port ? port : server.port ? server.port : kDefaultPingPort;
        std::string line;
        if (SimClock::now() >= end) {
            line = HostPort(server.host, use) + ": not tried, the " +
                   std::to_string(kListTimeout.count() / 1000) + " s for the whole list were used up";
        } else {
            bool ok = false;
            line = Ping(server, use, Earlier(SimClock::now() + kServerTimeout, end), ok);
            answered += ok ? 1 : 0;
        }
        details += (details.empty() ? "" : "; ") + line;
    }
    return PingListAnswer(m_arrServers.size(), answered, details);
}

CSimResponse PingListAnswer(std::size_t count, std::size_t answered, const std::string& details) {
    const std::string servers = std::to_string(count) + (count == 1 ? " server" : " servers");
    if (answered == 0)
        return Unreachable("None of " + servers + " answered: " + details);
    return Done(std::to_string(answered) + " of " + servers + " answered: " + details);
}

CSimResponse CSimNetwork::GetIPFromServerName(const std::string& name) const {
    const std::string_view text = Trim(name);
    if (text.empty())
        RejectClient(rc::kBadArgument, "No server name given");
    if (text.find_first_of(kSeparators) != std::string_view::npos)
        RejectClient(rc::kBadArgument, "Give one server name, not a list: " + Quoted(text));
    const SServer server = ParseServer(text);
    const SLookup lookup = m_lookup(server.host, SimClock::now() + kServerTimeout);
    if (lookup.result == SLookup::EResult::TimedOut)
        return Unreachable("No answer for " + Quoted(server.host) + " from the name service within " +
                           std::to_string(kServerTimeout.count()) + " ms");
    if (lookup.result == SLookup::EResult::NotFound)
        return Unreachable("Server name not found: " + Quoted(server.host) + " (" + lookup.reason + ")");
    std::string addresses;
    for (const SAddress& address : lookup.addresses)
        addresses += (addresses.empty() ? "" : ", ") + address.text;
    return Done(server.host + " = " + addresses);
}

CSimResponse CSimNetwork::PingSingleIP(const std::string& serverText, const std::string& portText) const {
    const std::string_view text = Trim(serverText);
    if (text.empty())
        RejectClient(rc::kBadArgument, "No server name or IP address given");
    if (text.find_first_of(kSeparators) != std::string_view::npos)
        RejectClient(rc::kBadArgument, "Give one server name or IP address, not a list: " + Quoted(text));
    const SServer server = ParseServer(text);
    const int port = ParsePingPort(portText);
    const int use = port ? port : server.port ? server.port : kDefaultPingPort;
    bool ok = false;
    std::string line = Ping(server, use, SimClock::now() + kServerTimeout, ok);
    return ok ? Done(std::move(line)) : Unreachable(std::move(line));
}

} // namespace tvxsim
