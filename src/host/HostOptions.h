// Reading tranvex-host's options.
#pragma once

#include <string>
#include <vector>

#include "host/HostFraming.h"

namespace tvxhost {

enum class EProtocol { Http, Tcp };

struct SHostOptions {
    std::string strAddress = "127.0.0.1";
    unsigned short nPort = 0; // set from the protocol when --listen gives none
    EProtocol protocol = EProtocol::Http;
    EFraming framing = EFraming::Len2;
    std::string strTlsCert, strTlsKey; // both or neither
    bool bDevice = false;
    bool bSharedSession = false;
    bool bHelp = false, bVersion = false;
};

// The options, or an error text for the usage message (exit 2).
struct SParsedOptions {
    SHostOptions options;
    std::string strError;
};
SParsedOptions ParseHostOptions(const std::vector<std::string>& args);

const char* HostUsage();

} // namespace tvxhost
