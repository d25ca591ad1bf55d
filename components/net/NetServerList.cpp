// The server-list methods of the network component.
#include "net/NetServerList.h"

#include "sim/SimNetwork.h"
#include "sim/SimRequest.h"
#include "sim/SimText.h"

namespace tvxnet {

using tvxsim::CSimResponse;

namespace {

constexpr std::string_view kSeparators = " \t\r\n,;";

CSimResponse Done(std::string text) {
    return CSimResponse(tvxsim::kOriginClient, tvxsim::rc::kOk, tvxsim::kStatusSuccess, std::move(text));
}

CSimResponse Unreachable(std::string text) {
    return CSimResponse::Error(tvxsim::kOriginServer, tvxsim::rc::kUnreachable, std::move(text));
}

bool IsOneUrl(std::string_view text) {
    return !text.empty() && text.find_first_of(kSeparators) == std::string_view::npos &&
           text.find("://") != std::string_view::npos;
}

SNetProbe FromTcp(const tvxsim::SProbe& tcp) {
    using R = tvxsim::SProbe::EResult;
    const SNetProbe::EResult result = tcp.result == R::Answered   ? SNetProbe::EResult::Answered
                                      : tcp.result == R::Refused  ? SNetProbe::EResult::Refused
                                      : tcp.result == R::TimedOut ? SNetProbe::EResult::TimedOut
                                                                  : SNetProbe::EResult::Unreachable;
    return {result, tcp.ms, tcp.reason};
}

} // namespace

CNetServerList::CNetServerList(std::string path) : m_strPath(std::move(path)) {
    const std::string stored = m_strPath.empty() ? std::string() : ReadStoredList(m_strPath);
    try {
        if (!stored.empty())
            m_arrServers = ParseNetServerList(stored);
    } catch (const tvxsim::CSimReject&) {
        // A file edited into something unreadable counts as no list: the operator stores a new one.
    }
}

std::string CNetServerList::Ping(const SNetServer& server, int port, NetClock::time_point deadline,
                                 bool& answered) const {
    answered = false;
    const std::string who = server.Name(port);
    const tvxsim::SLookup lookup = tvxsim::SystemLookup(server.host, deadline);
    if (lookup.result == tvxsim::SLookup::EResult::TimedOut)
        return who + ": the name lookup gave no answer in time";
    if (lookup.result == tvxsim::SLookup::EResult::NotFound)
        return who + ": name not found (" + lookup.reason + ")";

    std::string problem;
    const SNetLimits limits = LimitsFromEnvironment(problem); // only its TLS files count here
    // An address typed as such is not repeated after it.
    const bool literal = lookup.addresses.size() == 1 && lookup.addresses[0].text == server.host;
    std::string tried;
    for (const tvxsim::SAddress& address : lookup.addresses) {
        if (!tried.empty() && NetClock::now() >= deadline)
            break; // each address in turn, while time is left
        const SNetProbe probe = server.Secure() ? ProbeTls(server, address.text, port, limits, deadline)
                                                : FromTcp(tvxsim::ProbeTcp(address, port, deadline));
        answered = probe.result == SNetProbe::EResult::Answered;
        tried += (tried.empty() ? "" : ", ") + (literal ? "" : address.text + " ") + Outcome(probe);
        if (answered)
            break;
    }
    return who + (literal ? " " : ": ") + tried;
}

CSimResponse CNetServerList::Store(const std::string& list) {
    m_arrServers = ParseNetServerList(list);
    std::string names, kept;
    for (const SNetServer& server : m_arrServers) {
        names += (names.empty() ? "" : ", ") + server.Text();
        kept += server.Text() + "\n";
    }
    std::string text = "Server list stored: " + std::to_string(m_arrServers.size()) +
                       (m_arrServers.size() == 1 ? " server (" : " servers (") + names + ")";
    if (const std::string problem = WriteStoredList(m_strPath, kept); !problem.empty())
        text += "; kept only until the component is closed: " + problem;
    return Done(std::move(text));
}

CSimResponse CNetServerList::PingList(const std::string& portText) const {
    const int port = tvxsim::CSimNetwork::ParsePingPort(portText);
    if (m_arrServers.empty())
        tvxsim::RejectClient(tvxsim::rc::kBadArgument, "No server list stored");

    const NetClock::time_point end = NetClock::now() + tvxsim::kListTimeout;
    std::string details;
    std::size_t answered = 0;
    for (const SNetServer& server : m_arrServers) {
        const int use = port ? port : server.Port();
        std::string line;
        if (NetClock::now() >= end) {
            line = server.Name(use) + ": not tried, the " +
                   std::to_string(tvxsim::kListTimeout.count() / 1000) + " s for the whole list were used up";
        } else {
            bool ok = false;
            line = Ping(server, use, std::min(NetClock::now() + tvxsim::kServerTimeout, end), ok);
            answered += ok ? 1 : 0;
        }
        details += (details.empty() ? "" : "; ") + line;
    }
    return tvxsim::PingListAnswer(m_arrServers.size(), answered, details);
}

CSimResponse CNetServerList::GetIP(const std::string& name) const {
    const std::string_view text = tvxsim::Trim(name);
    if (!IsOneUrl(text))
        return tvxsim::CSimNetwork().GetIPFromServerName(name);
    const SNetServer server = ParseNetServer(text);
    const bool v6 = server.host.find(':') != std::string::npos;
    return tvxsim::CSimNetwork().GetIPFromServerName(v6 ? "[" + server.host + "]" : server.host);
}

CSimResponse CNetServerList::PingOne(const std::string& serverText, const std::string& portText) const {
    const std::string_view text = tvxsim::Trim(serverText);
    if (text.empty() || text.find_first_of(kSeparators) != std::string_view::npos)
        return tvxsim::CSimNetwork().PingSingleIP(serverText, portText); // its complaint about the text
    const SNetServer server = ParseNetServer(text);
    const int port = tvxsim::CSimNetwork::ParsePingPort(portText);
    bool ok = false;
    std::string line =
        Ping(server, port ? port : server.Port(), NetClock::now() + tvxsim::kServerTimeout, ok);
    return ok ? Done(std::move(line)) : Unreachable(std::move(line));
}

} // namespace tvxnet
