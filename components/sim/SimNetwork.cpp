// The simulated network of the server-list methods.
#include "sim/SimNetwork.h"

#include <cctype>

#include "sim/SimRequest.h"
#include "sim/SimText.h"

namespace tvxsim {

namespace {

CSimResponse Done(std::string text) {
    return CSimResponse(kOriginClient, rc::kOk, kStatusSuccess, std::move(text));
}

// "" means the default port.
int ReadPort(const std::string& text) {
    std::string port(Trim(text));
    if (port.empty())
        return kDefaultPingPort;
    if (port.size() > 5 || !IsDigits(port) || std::stoi(port) < 1 || std::stoi(port) > 65535)
        RejectClient(rc::kBadArgument, "Invalid ping port: " + Clip(port) + " (1 to 65535)");
    return std::stoi(port);
}

std::string ReadServer(const std::string& text) {
    std::string server(Trim(text));
    if (server.empty())
        RejectClient(rc::kBadArgument, "No server name or IP address given");
    if (server.find_first_of(",;") != std::string::npos)
        RejectClient(rc::kBadArgument, "Give one server name or IP address, not a list");
    if (!CSimNetwork::NormalizeIPv4(server) && !CSimNetwork::IsHostName(server))
        RejectClient(rc::kBadArgument, "Invalid server name or IP address: " + Clip(server));
    return server;
}

// "name (address) reply 12 ms", "name (address) no reply" or "name not found".
std::string PingOne(const std::string& server, bool& answered) {
    std::optional<std::string> address = CSimNetwork::Resolve(server);
    answered = address && CSimNetwork::Answers(*address);
    if (!address)
        return server + " not found";
    std::string who = *address == server ? server : server + " (" + *address + ")";
    if (!answered)
        return who + " no reply";
    return who + " reply " + std::to_string(CSimNetwork::LatencyMs(*address)) + " ms";
}

} // namespace

std::optional<std::string> CSimNetwork::NormalizeIPv4(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        std::size_t end = part < 3 ? text.find('.', pos) : text.size();
        if (end == std::string_view::npos)
            return std::nullopt;
        std::string_view piece = text.substr(pos, end - pos);
        if (!IsDigits(piece) || piece.size() > 3 || std::stoi(std::string(piece)) > 255)
            return std::nullopt;
        if (part)
            out += '.';
        out += std::to_string(std::stoi(std::string(piece)));
        pos = end + 1;
    }
    return out;
}

bool CSimNetwork::IsHostName(std::string_view text) {
    if (text.empty() || text.size() > 253)
        return false;
    bool allNumeric = true;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = text.find('.', pos);
        std::string_view label =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        for (char c : label) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
                return false;
            if (!std::isdigit(static_cast<unsigned char>(c)))
                allNumeric = false;
        }
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return !allNumeric; // all digits and dots must be a valid address instead
}

std::optional<std::string> CSimNetwork::Resolve(std::string_view name) {
    if (auto address = NormalizeIPv4(name))
        return address;
    if (!IsHostName(name))
        return std::nullopt;
    std::string lower = Lower(name);
    if (lower == "localhost")
        return "127.0.0.1";
    std::string first = lower.substr(0, lower.find('.'));
    if (lower == "invalid" || (lower.size() > 8 && lower.compare(lower.size() - 8, 8, ".invalid") == 0) ||
        first.rfind("unknown", 0) == 0)
        return std::nullopt;
    std::uint32_t hash = Fnv1a(lower);
    unsigned last = first.rfind("down", 0) == 0 ? 200 + hash % 54 : 1 + hash % 199;
    return "10." + std::to_string((hash >> 24) & 0xFF) + "." + std::to_string((hash >> 16) & 0xFF) + "." +
           std::to_string(last);
}

bool CSimNetwork::Answers(const std::string& address) {
    std::size_t dot = address.rfind('.');
    int last = std::stoi(address.substr(dot + 1));
    return last >= 1 && last <= 199;
}

int CSimNetwork::LatencyMs(const std::string& address) {
    if (address.rfind("127.", 0) == 0)
        return 1;
    return 2 + static_cast<int>(Fnv1a(address) % 47);
}

CSimResponse CSimNetwork::StoreServerList(const std::string& list) {
    if (list.size() > kMaxServerListText)
        RejectClient(rc::kBadArgument,
                     "Server list longer than " + std::to_string(kMaxServerListText) + " characters");
    std::vector<std::string> servers;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find_first_of(",;", pos);
        if (end == std::string::npos)
            end = list.size();
        std::string entry(Trim(std::string_view(list).substr(pos, end - pos)));
        pos = end + 1;
        if (entry.empty())
            continue;
        if (!NormalizeIPv4(entry) && !IsHostName(entry))
            RejectClient(rc::kBadArgument, "Invalid server name or IP address: " + Clip(entry));
        bool seen = false;
        for (const std::string& known : servers)
            seen = seen || EqualsNoCase(known, entry);
        if (!seen)
            servers.push_back(entry);
        if (servers.size() > kMaxServers)
            RejectClient(rc::kBadArgument, "At most " + std::to_string(kMaxServers) + " servers");
    }
    if (servers.empty())
        RejectClient(rc::kBadArgument, "Empty server list");
    m_arrServers = servers;
    std::string names;
    for (const std::string& server : servers)
        names += (names.empty() ? "" : ", ") + server;
    return Done("Server list stored: " + std::to_string(servers.size()) +
                (servers.size() == 1 ? " server (" : " servers (") + names + ")");
}

CSimResponse CSimNetwork::PingServerList(const std::string& port) const {
    int number = ReadPort(port);
    if (m_arrServers.empty())
        RejectClient(rc::kBadArgument, "No server list stored");
    std::string details;
    std::size_t answered = 0;
    for (const std::string& server : m_arrServers) {
        bool ok = false;
        details += (details.empty() ? "" : "; ") + PingOne(server, ok);
        answered += ok ? 1 : 0;
    }
    std::string text = "Port " + std::to_string(number) + ": " + std::to_string(answered) + " of " +
                       std::to_string(m_arrServers.size()) + " servers answered. " + details;
    if (answered == 0)
        return CSimResponse::Error(kOriginServer, rc::kUnreachable, text);
    return Done(text);
}

CSimResponse CSimNetwork::GetIPFromServerName(const std::string& name) const {
    std::string server = ReadServer(name);
    std::optional<std::string> address = Resolve(server);
    if (!address)
        return CSimResponse::Error(kOriginServer, rc::kUnreachable, "Server name not found: " + server);
    return Done(server + " = " + *address);
}

CSimResponse CSimNetwork::PingSingleIP(const std::string& server, const std::string& port) const {
    std::string name = ReadServer(server);
    int number = ReadPort(port);
    bool ok = false;
    std::string text = "Port " + std::to_string(number) + ": " + PingOne(name, ok);
    if (!ok)
        return CSimResponse::Error(kOriginServer, rc::kUnreachable, text);
    return Done(text);
}

} // namespace tvxsim
