// A simulated payment component: the dispatch interface of the client or the device component
// over the simulated processor and network.
#pragma once

#include <string>
#include <string_view>

#include "controls/PaymentTargets.h"
#include "platform/Component.h"
#include "sim/SimNetwork.h"
#include "sim/SimProcessor.h"

namespace tvxsim {

// The client kind processes sales; the device kind also takes signatures and lists its devices.
enum class ESimKind { Client, Device };

// The DISPIDs a kind answers: those of its control in the target list.
const STargetDispids& DispidsOf(ESimKind kind);

class CSimComponent : public IComponent {
public:
    // lookup answers the server-list methods' name lookups: the system resolver unless the
    // component is kept off the network.
    explicit CSimComponent(ESimKind kind, CSimNetwork::Lookup lookup = SystemLookup)
        : CSimComponent(kind, DispidsOf(kind), std::move(lookup)) {}
    // The component of one row of the target list: a control that lists devices is of the device kind.
    explicit CSimComponent(const STargetInfo& target)
        : CSimComponent(target.dispids.nGetDeviceList ? ESimKind::Device : ESimKind::Client, target.dispids,
                        SystemLookup) {}

    // Unknown DISPIDs, a wrong argument count or types throw CDispatchError with the
    // Automation texts "Member not found.", "Invalid number of parameters." and "Type mismatch.".
    std::string Invoke(int dispid, const DispArgs& args) override;
    // SubmitRequest's answer without the dispatch arguments, for callers holding the text in a
    // buffer of their own (tranvex-host).
    std::string SubmitRequest(std::string_view request) { return m_processor.Submit(request); }

    ESimKind Kind() const { return m_kind; }

    // The device list document of the device component.
    static std::string DeviceList();

private:
    CSimComponent(ESimKind kind, const STargetDispids& dispids, CSimNetwork::Lookup lookup)
        : m_kind(kind), m_dispids(dispids), m_processor(kind == ESimKind::Device),
          m_network(std::move(lookup)) {}

    ESimKind m_kind;
    const STargetDispids& m_dispids;
    CSimProcessor m_processor;
    CSimNetwork m_network;
};

} // namespace tvxsim
