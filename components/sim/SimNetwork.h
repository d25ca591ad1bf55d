// The server-list methods: a stored list of servers, name lookups and TCP pings over the real
// network, every wait bounded.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimResponse.h"
#include "sim/SimSockets.h"

namespace tvxsim {

inline constexpr std::size_t kMaxServers = 16;
inline constexpr std::size_t kMaxServerListText = 4096;
inline constexpr int kDefaultPingPort = 9000;
inline constexpr std::chrono::milliseconds kServerTimeout{2000}; // lookup and connect of one server
inline constexpr std::chrono::milliseconds kListTimeout{10000};  // a whole list

// One entry of a server list: a host name or address and the port written after it (0: none).
struct SServer {
    std::string host;
    int port = 0;
};

// The answer of a ping of a whole list: how many of count servers answered, then each one's line.
CSimResponse PingListAnswer(std::size_t count, std::size_t answered, const std::string& details);

class CSimNetwork {
public:
    using Lookup = std::function<SLookup(const std::string& host, SimClock::time_point deadline)>;

    // The lookup is the system resolver unless a caller (the fuzzer) keeps the component offline.
    explicit CSimNetwork(Lookup lookup = SystemLookup) : m_lookup(std::move(lookup)) {}

    // Each answers with a CmdResponse-only response: bad arguments give "Client" errors, names
    // not found and servers that do not answer "Server" errors.
    CSimResponse StoreServerList(const std::string& list);
    CSimResponse PingServerList(const std::string& port) const;
    CSimResponse GetIPFromServerName(const std::string& name) const;
    CSimResponse PingSingleIP(const std::string& server, const std::string& port) const;

    const std::vector<SServer>& Servers() const { return m_arrServers; }

    // The parsing rules, public so that they can be tested one by one; each throws CSimReject
    // with the exact complaint.
    static std::vector<SServer> ParseServerList(std::string_view list);
    static SServer ParseServer(std::string_view entry);
    static int ParsePingPort(std::string_view text); // 0 when empty
    static bool IsHostName(std::string_view text);

private:
    // "host:port answered in 3 ms" and the like; answered tells whether any address took the connection.
    std::string Ping(const SServer& server, int port, SimClock::time_point deadline, bool& answered) const;

    Lookup m_lookup;
    std::vector<SServer> m_arrServers;
};

} // namespace tvxsim
