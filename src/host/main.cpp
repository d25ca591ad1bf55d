// tranvex-host: the process entry point.
#include <cstdio>
#include <exception>

#include "host/HostOptions.h"
#include "host/HostServer.h"
#include "res/Version.h"

int main(int argc, char* argv[]) {
    using namespace tvxhost;
    try {
        const SParsedOptions parsed = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (!parsed.strError.empty()) {
            std::fprintf(stderr, "tranvex-host: %s\nTry 'tranvex-host --help'.\n", parsed.strError.c_str());
            return 2;
        }
        const SHostOptions& options = parsed.options;
        if (options.bHelp) {
            std::fputs(HostUsage(), stdout);
            return 0;
        }
        if (options.bVersion) {
            std::printf("Tranvex %s\n", TRANVEX_PRODUCT_VERSION); // as tranvex --version
            return 0;
        }
        CHostServer server(options, stdout);
        const bool v6 = options.strAddress.find(':') != std::string::npos;
        std::printf(
            "tranvex-host %s listening on %s%s%s:%u (%s%s%s, %s component, %s)\n", TRANVEX_PRODUCT_VERSION,
            v6 ? "[" : "", options.strAddress.c_str(), v6 ? "]" : "", server.Port(),
            options.protocol == EProtocol::Http ? "http" : "tcp",
            options.protocol == EProtocol::Tcp ? (options.framing == EFraming::Len2 ? " len2" : " len4") : "",
            options.strTlsCert.empty() ? "" : " over TLS", options.bDevice ? "device" : "client",
            options.bSharedSession ? "one session for all connections" : "a session per connection");
        std::fflush(stdout);
        server.Run();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tranvex-host: %s\n", e.what());
        return 2;
    }
}
