// The network side of tranvex-host: one listening socket, a fixed pool of threads, one coroutine per
// connection speaking HTTP or framed TCP, plain or TLS.
#pragma once

#include <cstdio>
#include <memory>

#include "host/HostOptions.h"

namespace tvxhost {

class CHostServer {
public:
    // Binds the address; throws std::runtime_error with a text for the operator when it cannot, or
    // when the certificate or key cannot be read.
    CHostServer(const SHostOptions& options, std::FILE* log);
    ~CHostServer();

    // The port bound (the one picked when the options ask for port 0).
    unsigned short Port() const;
    // Serves until SIGINT or SIGTERM, then finishes the answers in progress (at most about 1.5 s).
    void Run();

private:
    struct SImpl;
    std::unique_ptr<SImpl> m_impl;
};

} // namespace tvxhost
