// libFuzzer target: any text as the network component's server list. A text is either refused with
// a Client error or gives servers whose stored text reads back as the same server.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/NetServer.h"
#include "sim/SimRequest.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool Same(const tvxnet::SNetServer& a, const tvxnet::SNetServer& b) {
    return a.scheme == b.scheme && a.bUrl == b.bUrl && a.host == b.host && a.port == b.port &&
           a.path == b.path && a.framing == b.framing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        for (const tvxnet::SNetServer& server : tvxnet::ParseNetServerList(text)) {
            Check(!server.host.empty());
            Check(server.Port() > 0 && server.Port() <= 65535);
            Check(Same(tvxnet::ParseNetServer(server.Text()), server));
        }
    } catch (const tvxsim::CSimReject& reject) {
        Check(reject.response.Status() == "Error" && !reject.response.Text().empty());
    }
    return 0;
}
