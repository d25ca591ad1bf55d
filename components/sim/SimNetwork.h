// The simulated network of the server-list methods: a stored list, name resolution and pings,
// all decided by fixed rules (no sockets, no name service).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/SimResponse.h"

namespace tvxsim {

inline constexpr std::size_t kMaxServers = 16;
inline constexpr std::size_t kMaxServerListText = 4096;
inline constexpr int kDefaultPingPort = 9000;

class CSimNetwork {
public:
    // Each answers with a CmdResponse-only response; bad arguments give "Client" errors and
    // unreachable or unknown servers "Server" errors.
    CSimResponse StoreServerList(const std::string& list);
    CSimResponse PingServerList(const std::string& port) const;
    CSimResponse GetIPFromServerName(const std::string& name) const;
    CSimResponse PingSingleIP(const std::string& server, const std::string& port) const;

    const std::vector<std::string>& Servers() const { return m_arrServers; }

    // The rules, public so that they can be documented and tested one by one.
    static std::optional<std::string> NormalizeIPv4(std::string_view text);
    static bool IsHostName(std::string_view text);
    static std::optional<std::string> Resolve(std::string_view name); // no value: not found
    static bool Answers(const std::string& address);
    static int LatencyMs(const std::string& address);

private:
    std::vector<std::string> m_arrServers;
};

} // namespace tvxsim
