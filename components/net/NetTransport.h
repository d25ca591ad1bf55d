// The network component's traffic, through libcurl: an HTTP(S) POST, or a framed request over a
// TCP or TLS connection that libcurl opens (connect-only mode), and the TLS handshake of a ping.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "net/NetServer.h"
#include "net/NetSettings.h"

namespace tvxnet {

using NetClock = std::chrono::steady_clock;

// The largest answer taken, so that a runaway host cannot fill the memory.
inline constexpr std::size_t kMaxAnswerBytes = 16 * 1024 * 1024;

// How an attempt to reach a server ended, as pings and request errors tell it.
struct SNetProbe {
    enum class EResult { Answered, Refused, TimedOut, Unreachable, NotFound, Untrusted, Handshake, Setup };
    EResult result = EResult::Unreachable;
    long long ms = 0;   // from the start of the connect
    std::string reason; // libcurl's or the system's words, where the result needs them
};

// "answered in 3 ms", "refused the connection after 0 ms", "was not trusted after 2 ms: ...".
std::string Outcome(const SNetProbe& probe);

// What became of one request sent to one server.
struct SExchange {
    enum class EResult {
        Answered, // strAnswer holds the answer
        NotSent,  // no byte of the request left: another server may be given it
        Failed    // sent, then something went wrong: it must not be sent again
    };
    EResult result = EResult::NotSent;
    std::string strAnswer;
    std::string strProblem; // a phrase that follows the server's name
};

class CCurl;

// The connection to one server, kept from one request to the next: a host keeps a session (the
// tokens of its sales) for as long as the connection lasts, as one window is one session. It is
// opened on first use, opened again when the host closed it while idle, and dropped after any
// failure, whose state nobody knows. An HTTP(S) connection is transport only: it comes from the
// process's idle connections when one fits and goes back there when the link ends, each request
// naming strSession, the component's session, for a host that keeps sessions by it. A framed
// connection is the host's session itself, so it serves one link only and closes with it.
class CNetLink {
public:
    CNetLink(SNetServer server, std::string strSession);
    ~CNetLink();
    CNetLink(const CNetLink&) = delete;
    CNetLink& operator=(const CNetLink&) = delete;

    // Sends request and waits for its answer until deadline at most; a connection (with its TLS
    // handshake) gets limits.connect at most.
    SExchange Exchange(const std::string& request, const SNetLimits& limits, NetClock::time_point deadline);

private:
    // What another link's connection must share to serve this one: scheme, host, port, framing
    // and the TLS files.
    std::string PoolKey() const;
    // Gives an HTTP connection back to the process's idle ones; closes a framed one.
    void Release();

    SNetServer m_server;
    std::string m_strSession;
    std::unique_ptr<CCurl> m_curl;
    std::string m_strCaFile, m_strCertFile, m_strKeyFile; // as m_curl was made with
};

// Connects to address:port and completes the TLS handshake for server's host name, verified as
// requests are, giving up at deadline.
SNetProbe ProbeTls(const SNetServer& server, const std::string& address, int port, const SNetLimits& limits,
                   NetClock::time_point deadline);

// libcurl's process-wide set-up, once, and the closing of the idle connections at exit.
void InitCurl();

// A text naming one session of this process, unlike any other of its sessions.
std::string NewSessionName();

} // namespace tvxnet
