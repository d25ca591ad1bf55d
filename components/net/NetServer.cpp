// Parsing the servers of the network component. Host and port follow the simulated components' rules.
#include "net/NetServer.h"

#include <algorithm>
#include <cctype>

#include "sim/SimNetwork.h"
#include "sim/SimRequest.h"
#include "sim/SimText.h"

namespace tvxnet {

using tvxsim::RejectClient;
namespace rc = tvxsim::rc;

namespace {

constexpr std::string_view kSeparators = " \t\r\n,;";

struct SSchemeName {
    EScheme scheme;
    const char* name;
    int port; // when none is written
};
constexpr SSchemeName kSchemes[] = {
    {EScheme::Tcp, "tcp", kDefaultTcpPort},
    {EScheme::Tls, "tls", kDefaultTcpPort},
    {EScheme::Http, "http", 80},
    {EScheme::Https, "https", 443},
};
constexpr const char* kFramings[] = {"len2", "len4", "none"}; // in EFraming order

const SSchemeName& SchemeOf(EScheme scheme) {
    return *std::find_if(std::begin(kSchemes), std::end(kSchemes),
                         [&](const SSchemeName& s) { return s.scheme == scheme; });
}

std::string Quoted(std::string_view text) {
    std::string out(1, '"');
    out.append(tvxsim::Clip(text)).push_back('"');
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// What tcp:// and tls:// allow after the port: nothing, "/", or "?framing=..." after either.
EFraming ParseFraming(std::string_view tail, std::string_view entry) {
    if (!tail.empty() && tail.front() == '/')
        tail.remove_prefix(1);
    if (tail.empty())
        return EFraming::Len2;
    constexpr std::string_view key = "?framing=";
    if (tail.substr(0, key.size()) == key) {
        const std::string value = Lower(tail.substr(key.size()));
        for (std::size_t i = 0; i < std::size(kFramings); ++i)
            if (value == kFramings[i])
                return static_cast<EFraming>(i);
    }
    RejectClient(rc::kBadArgument, "Invalid framing in " + Quoted(entry) +
                                       ": write ?framing=len2, len4 or none after the port");
}

SNetServer ParseUrl(std::string_view entry, std::size_t schemeEnd) {
    SNetServer server;
    server.bUrl = true;
    const std::string scheme = Lower(entry.substr(0, schemeEnd));
    const auto known = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                                    [&](const SSchemeName& s) { return scheme == s.name; });
    if (known == std::end(kSchemes))
        RejectClient(rc::kBadArgument, "Unknown kind of server " + Quoted(scheme) + " in " + Quoted(entry) +
                                           ": use http, https, tcp or tls");
    server.scheme = known->scheme;

    const std::string_view rest = entry.substr(schemeEnd + 3);
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view tail = rest.substr(authorityEnd);
    // Without brackets the colons of an IPv6 address could not be told from the port's.
    if (authority.empty() ||
        (authority.front() != '[' && std::count(authority.begin(), authority.end(), ':') > 1))
        RejectClient(rc::kBadArgument, "Invalid server name or address " + Quoted(authority) + " in " +
                                           Quoted(entry) + ": an IPv6 address goes in brackets");
    const tvxsim::SServer hostPort = tvxsim::CSimNetwork::ParseServer(authority);
    server.host = hostPort.host;
    server.port = hostPort.port;

    if (server.Http())
        server.path = tail.empty() || tail.front() != '/' ? std::string("/").append(tail) : std::string(tail);
    else
        server.framing = ParseFraming(tail, entry);
    return server;
}

} // namespace

int SNetServer::Port() const {
    return port ? port : SchemeOf(scheme).port;
}

std::string HostPort(const std::string& host, int port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

namespace {

// The URL with the port given (none for 0) and the framing when it is not the usual one.
std::string UrlText(const SNetServer& server, int port) {
    const bool v6 = server.host.find(':') != std::string::npos;
    std::string text = std::string(SchemeOf(server.scheme).name) + "://" +
                       (port ? HostPort(server.host, port)
                        : v6 ? "[" + server.host + "]"
                             : server.host) +
                       server.path;
    if (!server.Http() && server.framing != EFraming::Len2)
        text += std::string("?framing=") + kFramings[static_cast<int>(server.framing)];
    return text;
}

} // namespace

std::string SNetServer::Name(int usePort) const {
    return bUrl ? UrlText(*this, usePort) : HostPort(host, usePort);
}

std::string SNetServer::Text() const {
    if (bUrl)
        return UrlText(*this, port);
    return port ? HostPort(host, port) : host;
}

SNetServer ParseNetServer(std::string_view entry) {
    const std::size_t schemeEnd = entry.find("://");
    if (schemeEnd != std::string_view::npos)
        return ParseUrl(entry, schemeEnd);
    const tvxsim::SServer plain = tvxsim::CSimNetwork::ParseServer(entry);
    SNetServer server;
    server.host = plain.host;
    server.port = plain.port;
    return server;
}

std::vector<SNetServer> ParseNetServerList(std::string_view list) {
    if (list.size() > tvxsim::kMaxServerListText)
        RejectClient(rc::kBadArgument,
                     "Server list longer than " + std::to_string(tvxsim::kMaxServerListText) + " characters");
    std::vector<SNetServer> servers;
    std::size_t pos = list.find_first_not_of(kSeparators);
    while (pos != std::string_view::npos) {
        const std::size_t end = std::min(list.find_first_of(kSeparators, pos), list.size());
        SNetServer server = ParseNetServer(list.substr(pos, end - pos));
        const bool seen = std::any_of(servers.begin(), servers.end(), [&](const SNetServer& known) {
            return tvxsim::EqualsNoCase(known.Name(), server.Name());
        });
        if (!seen)
            servers.push_back(std::move(server));
        if (servers.size() > tvxsim::kMaxServers)
            RejectClient(rc::kBadArgument,
                         "More than " + std::to_string(tvxsim::kMaxServers) + " servers in the list");
        pos = list.find_first_not_of(kSeparators, end);
    }
    if (servers.empty())
        RejectClient(rc::kBadArgument, "The server list is empty");
    return servers;
}

} // namespace tvxnet
