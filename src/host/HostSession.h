// The simulated processor behind one connection (or behind all of them), and the line the host
// prints for each request it answers.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "sim/SimComponent.h"

namespace tvxhost {

// What one request was and how it ended, for the request line.
struct SExchange {
    std::string strTranCode;  // of the request; "-" when it has none
    std::string strCmdStatus; // of the answer; "-" when it has none
};

// One simulated component answering SubmitRequest, as one window's component would; the calls are
// serialised, so connections can share one session.
class CHostSession {
public:
    explicit CHostSession(bool bDevice)
        : m_component(bDevice ? tvxsim::ESimKind::Device : tvxsim::ESimKind::Client) {}

    // The component's answer to the request text.
    std::string Answer(std::string_view request, SExchange& exchange);

private:
    std::mutex m_mutex;
    tvxsim::CSimComponent m_component;
};

// Gives each connection its session: a new one, or the one all connections share.
class CSessionSource {
public:
    CSessionSource(bool bDevice, bool bShared)
        : m_bDevice(bDevice), m_shared(bShared ? std::make_shared<CHostSession>(bDevice) : nullptr) {}

    std::shared_ptr<CHostSession> ForConnection() const {
        return m_shared ? m_shared : std::make_shared<CHostSession>(m_bDevice);
    }

private:
    bool m_bDevice;
    std::shared_ptr<CHostSession> m_shared;
};

// The session of one connection's requests: the connection's own, begun afresh whenever a request
// names another client session than the request before it did. The network component names each
// of its sessions, and hands an idle HTTP connection from a component that ended to a new one:
// the new one must not find the first one's sales (nor a store they filled). Requests that name
// none keep the connection's session, as a client that keeps its connection expects.
class CConnectionSession {
public:
    explicit CConnectionSession(const CSessionSource& source) : m_source(source) {}

    // The session for a request naming client ("" for none).
    CHostSession& For(std::string_view client);

private:
    const CSessionSource& m_source;
    std::shared_ptr<CHostSession> m_session; // made on the first request
    std::string m_strClient;
};

// Prints one line per request, whole lines from any thread, card data masked:
// "2026-12-08 00:54:37.123 127.0.0.1:41234 Sale Approved 0.21 ms".
// On a terminal each line shows at once; into a file or a pipe the lines are written in blocks,
// which the server flushes every tenth of a second and at its stop: a write per request cost the
// host a fifth of its rate.
class CRequestLog {
public:
    explicit CRequestLog(std::FILE* out);

    void Write(std::string_view peer, const SExchange& exchange, double milliseconds);
    void Flush();
    // The same line as a text, without the time.
    static std::string Line(std::string_view peer, const SExchange& exchange, double milliseconds);

private:
    std::mutex m_mutex;
    std::FILE* m_out;
    bool m_bTerminal;
};

} // namespace tvxhost
