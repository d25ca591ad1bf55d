// The network component: dispatch by DISPID and SubmitRequest with failover.
#include "net/NetComponent.h"

#include <initializer_list>

#include "sim/SimRequest.h"
#include "sim/SimText.h"

namespace tvxnet {

using tvxsim::CSimResponse;

namespace {

// KVTXReturnCode of a request that left and came to no answer: the host may have acted on it.
constexpr const char* kSentNoAnswer = "005006";

enum class EArg { Str, I2 };

void CheckArgs(const DispArgs& args, std::initializer_list<EArg> expected) {
    if (args.size() != expected.size())
        throw CDispatchError("Invalid number of parameters.");
    std::size_t i = 0;
    for (EArg kind : expected)
        if (std::holds_alternative<std::string>(args[i++]) != (kind == EArg::Str))
            throw CDispatchError("Type mismatch.");
}

const std::string& Text(const DispArgs& args, std::size_t i) {
    return std::get<std::string>(args[i]);
}

template <typename Fn> std::string Answer(Fn&& fn) {
    try {
        return fn().ToXml();
    } catch (tvxsim::CSimReject& reject) {
        return reject.response.ToXml();
    }
}

// The request's UserTraceData, echoed in error answers as the simulated components do.
std::string TraceOf(const std::string& request) {
    try {
        return std::string(tvxsim::CSimRequest(request).Get("UserTraceData"));
    } catch (const tvxsim::CSimReject&) {
        return {};
    }
}

std::string ClientError(const char* code, std::string text, const std::string& request) {
    CSimResponse response = CSimResponse::Error(tvxsim::kOriginClient, code, std::move(text));
    response.SetUserTrace(TraceOf(request));
    return response.ToXml();
}

// Nothing to list: the devices of a network component are the host's business.
std::string EmptyDeviceList() {
    tvxsim::CSimXmlWriter out;
    out.Open("DeviceList");
    out.Leaf("DeviceCount", "0");
    return out.Take();
}

} // namespace

CNetComponent::CNetComponent(const STargetInfo& target, std::string storePath)
    : m_dispids(target.dispids), m_strSession((InitCurl(), NewSessionName())),
      m_servers(std::move(storePath)) {}

std::string CNetComponent::Invoke(int dispid, const DispArgs& args) {
    const STargetDispids& ids = m_dispids;
    if (dispid <= 0)
        throw CDispatchError("Member not found.");
    if (dispid == ids.nSubmitRequest) {
        // The option, the extra text and the caller tag are accepted and not used.
        CheckArgs(args, {EArg::Str, EArg::I2, EArg::Str, EArg::Str});
        return Submit(Text(args, 0));
    }
    if (dispid == ids.nStoreServerList) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        const std::string answer = Answer([&] { return m_servers.Store(Text(args, 0)); });
        DropLinksNotListed();
        return answer;
    }
    if (dispid == ids.nPingServerList) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        return Answer([&] { return m_servers.PingList(Text(args, 0)); });
    }
    if (dispid == ids.nGetIPFromServerName) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        return Answer([&] { return m_servers.GetIP(Text(args, 0)); });
    }
    if (dispid == ids.nPingSingleIP) {
        CheckArgs(args, {EArg::Str, EArg::Str, EArg::I2});
        return Answer([&] { return m_servers.PingOne(Text(args, 0), Text(args, 1)); });
    }
    if (dispid == ids.nGetDeviceList) {
        CheckArgs(args, {});
        return EmptyDeviceList();
    }
    throw CDispatchError("Member not found.");
}

CNetLink& CNetComponent::LinkTo(const SNetServer& server) {
    std::unique_ptr<CNetLink>& link = m_links[server.Name()];
    if (!link)
        link = std::make_unique<CNetLink>(server, m_strSession);
    return *link;
}

void CNetComponent::DropLinksNotListed() {
    std::map<std::string, std::unique_ptr<CNetLink>> kept;
    for (const SNetServer& server : m_servers.Servers())
        if (auto it = m_links.find(server.Name()); it != m_links.end())
            kept.emplace(server.Name(), std::move(it->second));
    m_links = std::move(kept);
}

std::string CNetComponent::Submit(const std::string& request) {
    if (m_servers.Servers().empty())
        return ClientError(tvxsim::rc::kBadArgument,
                           "No server list stored: use Store Server Name or IP List", request);
    std::string problem;
    const SNetLimits limits = LimitsFromEnvironment(problem);
    if (!problem.empty())
        return ClientError(tvxsim::rc::kBadArgument, problem, request);

    const NetClock::time_point deadline = NetClock::now() + limits.whole;
    std::string notSent; // what each server that did not get the request did
    for (const SNetServer& server : m_servers.Servers()) {
        if (!notSent.empty())
            notSent += "; ";
        if (NetClock::now() >= deadline) {
            notSent += server.Name() + " was not tried: the " + std::to_string(limits.whole.count()) +
                       " ms for the request were used up";
            continue;
        }
        SExchange exchange = LinkTo(server).Exchange(request, limits, deadline);
        if (exchange.result == SExchange::EResult::Answered)
            return std::move(exchange.strAnswer);
        if (exchange.result == SExchange::EResult::Failed)
            return ClientError(kSentNoAnswer, notSent + server.Name() + " " + exchange.strProblem, request);
        notSent += server.Name() + " " + exchange.strProblem;
    }
    return ClientError(tvxsim::rc::kUnreachable, "The request was not sent: " + notSent, request);
}

} // namespace tvxnet
