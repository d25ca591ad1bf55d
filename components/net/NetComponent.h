// The network component: the dispatch interface of either payment control, sending each request
// to the stored servers instead of answering it itself.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "controls/PaymentTargets.h"
#include "net/NetServerList.h"
#include "platform/Component.h"

namespace tvxnet {

class CNetComponent : public IComponent {
public:
    // The component of one row of the target list, its server list kept in storePath.
    CNetComponent(const STargetInfo& target, std::string storePath);
    explicit CNetComponent(const STargetInfo& target)
        : CNetComponent(target, StoredListPath(target.pszName)) {}

    // Unknown DISPIDs, a wrong argument count or types throw CDispatchError with the Automation
    // texts; everything else, network failures included, is an answer.
    std::string Invoke(int dispid, const DispArgs& args) override;

private:
    // The answer of the first server that takes the request; a server that cannot be reached
    // before a byte is sent gives way to the next, and a request once sent is never sent again.
    std::string Submit(const std::string& request);
    // The kept connection to server, made on first use (with an idle one of the process's, if any).
    CNetLink& LinkTo(const SNetServer& server);
    // A list stored again keeps the connections of the servers still on it; the others go back to
    // the process's idle connections.
    void DropLinksNotListed();

    const STargetDispids& m_dispids;
    const std::string m_strSession; // this component's, named in its HTTP requests
    CNetServerList m_servers;
    std::map<std::string, std::unique_ptr<CNetLink>> m_links; // by server name
};

} // namespace tvxnet
