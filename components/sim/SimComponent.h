// A simulated payment component: the dispatch interface of the client or the device component
// over the simulated processor and network.
#pragma once

#include <string>

#include "platform/Component.h"
#include "sim/SimNetwork.h"
#include "sim/SimProcessor.h"

namespace tvxsim {

enum class ESimKind { Client, Device };

// DISPIDs of each kind, 0 where the method does not exist.
struct SSimDispids {
    int nSubmitRequest, nStoreServerList, nPingServerList, nGetIPFromServerName, nPingSingleIP,
        nGetDeviceList;
};
SSimDispids DispidsOf(ESimKind kind);

class CSimComponent : public IComponent {
public:
    // lookup answers the server-list methods' name lookups: the system resolver unless the
    // component is kept off the network.
    explicit CSimComponent(ESimKind kind, CSimNetwork::Lookup lookup = SystemLookup)
        : m_kind(kind), m_processor(kind == ESimKind::Device), m_network(std::move(lookup)) {}

    // Unknown DISPIDs, a wrong argument count or types throw CDispatchError with the
    // Automation texts "Member not found.", "Invalid number of parameters." and "Type mismatch.".
    std::string Invoke(int dispid, const DispArgs& args) override;

    ESimKind Kind() const { return m_kind; }

    // The device list document of the device component.
    static std::string DeviceList();

private:
    ESimKind m_kind;
    CSimProcessor m_processor;
    CSimNetwork m_network;
};

} // namespace tvxsim
