// Reading tranvex-host's options: "--name value" or "--name=value".
#include "host/HostOptions.h"

#include <boost/asio/ip/address.hpp>
#include <charconv>

namespace tvxhost {

namespace {

// "ADDRESS:PORT", "[IPv6]:PORT", ":PORT" or "PORT"; the address is an IP address, no name.
bool ParseListen(const std::string& text, SHostOptions& options, std::string& error) {
    std::string address, port = text;
    if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value > 65535) {
        error = "--listen " + text + ": the port must be a number from 0 to 65535";
        return false;
    }
    if (!address.empty()) {
        boost::system::error_code bad;
        boost::asio::ip::make_address(address, bad);
        if (bad) {
            error = "--listen " + text + ": \"" + address + "\" is not an IP address";
            return false;
        }
        options.strAddress = address;
    }
    options.nPort = static_cast<unsigned short>(value);
    return true;
}

} // namespace

const char* HostUsage() {
    return "Usage: tranvex-host [options]\n"
           "Serves the simulated payment processor over the network, for the network component or\n"
           "any payment software: each request text gets the answer the simulated component gives.\n"
           "\n"
           "Options:\n"
           "  --listen ADDRESS:PORT   where to listen (default 127.0.0.1, port 8080 for http, 9000 for\n"
           "                          tcp); ADDRESS is an IP address, [::1] for IPv6; port 0 takes a\n"
           "                          free port, printed on the first line\n"
           "  --protocol http|tcp     HTTP: a POST's body is the request, the answer is the body\n"
           "                          (default); tcp: each request and answer with a length before it\n"
           "  --framing len2|len4     tcp only: a two-byte (default) or four-byte big-endian length\n"
           "  --tls-cert FILE, --tls-key FILE\n"
           "                          serve over TLS with this PEM certificate (chain) and key\n"
           "  --device                answer as the device component (signatures) instead of the client\n"
           "  --shared-session        one session for all connections, as one window: a request can\n"
           "                          follow up a transaction made on another connection (for an\n"
           "                          operator who pauses longer than the 60 s idle limit)\n"
           "  --version               print the version and exit\n"
           "  -h, --help              show this text\n"
           "\n"
           "Without --shared-session each connection is a session of its own. A request over 1 MiB gets\n"
           "HTTP 413, an unreadable one 400; a malformed frame closes the connection. A connection idle\n"
           "for 60 s is closed. One line per request on standard output: time, peer, TranCode,\n"
           "CmdStatus, milliseconds, card data masked. SIGINT or SIGTERM stop it after the answers in\n"
           "progress.\n"
           "\n"
           "Exit status: 0 stopped by a signal, 2 usage error or the address cannot be served.\n";
}

SParsedOptions ParseHostOptions(const std::vector<std::string>& args) {
    SParsedOptions parsed;
    SHostOptions& options = parsed.options;
    std::string& error = parsed.strError;
    bool listenGiven = false, framingGiven = false;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        std::string name = args[i], value;
        const bool takesValue = name.rfind("--listen", 0) == 0 || name.rfind("--protocol", 0) == 0 ||
                                name.rfind("--framing", 0) == 0 || name.rfind("--tls-", 0) == 0;
        if (const std::size_t eq = name.find('='); takesValue && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (takesValue) {
            if (i + 1 == args.size()) {
                error = name + " needs a value";
                break;
            }
            value = args[++i];
        }
        if (name == "-h" || name == "--help")
            options.bHelp = true;
        else if (name == "--version")
            options.bVersion = true;
        else if (name == "--device")
            options.bDevice = true;
        else if (name == "--shared-session")
            options.bSharedSession = true;
        else if (name == "--listen")
            listenGiven = ParseListen(value, options, error);
        else if (name == "--protocol" && (value == "http" || value == "tcp"))
            options.protocol = value == "http" ? EProtocol::Http : EProtocol::Tcp;
        else if (name == "--protocol")
            error = "--protocol " + value + ": write http or tcp";
        else if (name == "--framing" && (value == "len2" || value == "len4")) {
            options.framing = value == "len2" ? EFraming::Len2 : EFraming::Len4;
            framingGiven = true;
        } else if (name == "--framing")
            error = "--framing " + value + ": write len2 or len4";
        else if (name == "--tls-cert")
            options.strTlsCert = value;
        else if (name == "--tls-key")
            options.strTlsKey = value;
        else
            error = "unknown option " + name;
    }
    if (!error.empty() || options.bHelp || options.bVersion)
        return parsed;
    if (framingGiven && options.protocol != EProtocol::Tcp)
        error = "--framing goes with --protocol tcp";
    else if (options.strTlsCert.empty() != options.strTlsKey.empty())
        error = "--tls-cert and --tls-key go together";
    else if (!listenGiven)
        options.nPort = options.protocol == EProtocol::Http ? 8080 : 9000;
    return parsed;
}

} // namespace tvxhost
