// The network component's stored server list and the server-list methods over it: the same
// answers as the simulated components give, for URLs too, the list kept from one run to the next.
#pragma once

#include <string>
#include <vector>

#include "net/NetServer.h"
#include "net/NetTransport.h"
#include "sim/SimResponse.h"

namespace tvxnet {

class CNetServerList {
public:
    // The list is kept in the file at path (none when empty) and read from it now.
    explicit CNetServerList(std::string path);

    // Each answers with a CmdResponse-only response, or throws tvxsim::CSimReject with a Client
    // error for a bad argument.
    tvxsim::CSimResponse Store(const std::string& list);
    tvxsim::CSimResponse PingList(const std::string& port) const;
    tvxsim::CSimResponse GetIP(const std::string& name) const;
    tvxsim::CSimResponse PingOne(const std::string& server, const std::string& port) const;

    const std::vector<SNetServer>& Servers() const { return m_arrServers; }

private:
    // "host:port answered in 3 ms" and the like; answered tells whether an address took the
    // connection (and, for https and tls, completed the handshake).
    std::string Ping(const SNetServer& server, int port, NetClock::time_point deadline, bool& answered) const;

    std::string m_strPath;
    std::vector<SNetServer> m_arrServers;
};

} // namespace tvxnet
