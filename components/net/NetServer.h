// A server of the network component: a bare host (framed TCP on port 9000) or an http, https, tcp
// or tls URL, parsed from the operator's text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tvxnet {

enum class EScheme { Tcp, Tls, Http, Https };
// How a request and its answer are cut out of a tcp:// or tls:// stream.
enum class EFraming { Len2, Len4, None };

inline constexpr int kDefaultTcpPort = 9000;

struct SNetServer {
    EScheme scheme = EScheme::Tcp;
    bool bUrl = false; // written as a URL; else a bare host or address
    std::string host;  // without brackets
    int port = 0;      // as written; 0: none written
    std::string path;  // http(s): from the first "/" on, query included
    EFraming framing = EFraming::Len2;

    int Port() const; // the port written, else the scheme's: 80, 443, 9000
    bool Secure() const { return scheme == EScheme::Tls || scheme == EScheme::Https; }
    bool Http() const { return scheme == EScheme::Http || scheme == EScheme::Https; }
    // As it is stored and listed: "gw.example.net", "127.0.0.1:9100", "https://gw.example.net/pay".
    std::string Text() const;
    // As messages name it, with the port that is used: "gw.example.net:9000", "tcp://[::1]:9100".
    std::string Name() const { return Name(Port()); }
    std::string Name(int port) const;
};

// "host:port", with brackets around an IPv6 address.
std::string HostPort(const std::string& host, int port);

// Each throws tvxsim::CSimReject with a Client error naming the bad entry exactly. A list is
// separated as the simulated components separate it; repeats are dropped.
SNetServer ParseNetServer(std::string_view entry);
std::vector<SNetServer> ParseNetServerList(std::string_view list);

} // namespace tvxnet
