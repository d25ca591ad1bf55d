// A simulated payment component: dispatch by DISPID, argument checks, the device list.
#include "sim/SimComponent.h"

#include <initializer_list>

#include "sim/SimRequest.h"

namespace tvxsim {

namespace {

enum class EArg { Str, I2 };

void CheckArgs(const DispArgs& args, std::initializer_list<EArg> expected) {
    if (args.size() != expected.size())
        throw CDispatchError("Invalid number of parameters.");
    std::size_t i = 0;
    for (EArg kind : expected) {
        bool isText = std::holds_alternative<std::string>(args[i++]);
        if (isText != (kind == EArg::Str))
            throw CDispatchError("Type mismatch.");
    }
}

const std::string& Text(const DispArgs& args, std::size_t i) {
    return std::get<std::string>(args[i]);
}

template <typename Fn> std::string Answer(Fn&& fn) {
    try {
        return fn().ToXml();
    } catch (CSimReject& reject) {
        return reject.response.ToXml();
    }
}

} // namespace

const STargetDispids& DispidsOf(ESimKind kind) {
    return TargetInfo(kind == ESimKind::Client ? ETarget::Client : ETarget::Device).dispids;
}

std::string CSimComponent::Invoke(int dispid, const DispArgs& args) {
    const STargetDispids& ids = m_dispids;
    if (dispid <= 0)
        throw CDispatchError("Member not found.");
    if (dispid == ids.nSubmitRequest) {
        // The option, the extra text and the caller tag are accepted and not used.
        CheckArgs(args, {EArg::Str, EArg::I2, EArg::Str, EArg::Str});
        return m_processor.Submit(Text(args, 0));
    }
    if (dispid == ids.nStoreServerList) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        return Answer([&] { return m_network.StoreServerList(Text(args, 0)); });
    }
    if (dispid == ids.nPingServerList) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        return Answer([&] { return m_network.PingServerList(Text(args, 0)); });
    }
    if (dispid == ids.nGetIPFromServerName) {
        CheckArgs(args, {EArg::Str, EArg::I2});
        return Answer([&] { return m_network.GetIPFromServerName(Text(args, 0)); });
    }
    if (dispid == ids.nPingSingleIP) {
        CheckArgs(args, {EArg::Str, EArg::Str, EArg::I2});
        return Answer([&] { return m_network.PingSingleIP(Text(args, 0), Text(args, 1)); });
    }
    if (dispid == ids.nGetDeviceList) {
        CheckArgs(args, {});
        return DeviceList();
    }
    throw CDispatchError("Member not found.");
}

std::string CSimComponent::DeviceList() {
    struct SDevice {
        const char *name, *type, *serial, *port, *status;
    };
    static const SDevice devices[] = {
        {"TVX PinPad 310", "PIN Pad", "310-0042-1187", "USB1", "Ready"},
        {"TVX SigPad 20", "Signature Pad", "020-0917-0355", "COM3", "Ready"},
        {"TVX Receipt Printer 80", "Printer", "080-1203-2210", "COM4", "Offline"},
    };
    CSimXmlWriter out;
    out.Open("DeviceList");
    out.Leaf("DeviceCount", std::to_string(std::size(devices)));
    for (const SDevice& device : devices) {
        out.Open("Device");
        out.Leaf("Name", device.name);
        out.Leaf("Type", device.type);
        out.Leaf("SerialNo", device.serial);
        out.Leaf("Port", device.port);
        out.Leaf("Status", device.status);
        out.Close();
    }
    return out.Take();
}

} // namespace tvxsim
