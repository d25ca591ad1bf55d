// What the network component takes from its environment: time limits, TLS files, and the file that
// keeps each control's server list from one run to the next.
#pragma once

#include <chrono>
#include <string>

namespace tvxnet {

struct SNetLimits {
    std::chrono::milliseconds connect{5000}; // per server, until the connection (and TLS) is up
    std::chrono::milliseconds whole{30000};  // the whole request, every server tried included
    std::string strCaFile;                   // TRANVEX_NET_CAFILE: trusted beside the system's store
    std::string strCertFile, strKeyFile;     // TRANVEX_NET_CERT, TRANVEX_NET_KEY: a client certificate
};

// The limits of the environment now: TRANVEX_NET_CONNECT_TIMEOUT and TRANVEX_NET_TIMEOUT in seconds
// (fractions allowed). A value that is not a number of seconds above 0 leaves strProblem naming it.
SNetLimits LimitsFromEnvironment(std::string& strProblem);

// $XDG_CONFIG_HOME/tranvex/net-<target>-servers (else ~/.config/...); empty when neither is known.
std::string StoredListPath(const std::string& targetName);

// The text stored at path; empty when there is none.
std::string ReadStoredList(const std::string& path);
// Replaces the file at path as a whole (a new file renamed over it); the reason when it cannot.
std::string WriteStoredList(const std::string& path, const std::string& text);

} // namespace tvxnet
