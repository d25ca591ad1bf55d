// libFuzzer target: any text to both simulated components (requests, server-list methods, raw
// dispatch), state kept across runs; every answer must be a well-formed response.
#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/SimComponent.h"

namespace {

using tvxsim::CSimComponent;
using tvxsim::ESimKind;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckResponse(const std::string& xml) {
    pugi::xml_document doc;
    Check(static_cast<bool>(doc.load_string(xml.c_str())));
    pugi::xml_node cmd = doc.child("RStream").child("CmdResponse");
    Check(static_cast<bool>(cmd));
    std::string status = cmd.child_value("CmdStatus");
    Check(status == "Approved" || status == "Declined" || status == "Success" || status == "Error");
    // The text scan skips two characters after these tags.
    std::size_t end = xml.find("</CmdResponse>");
    Check(end != std::string::npos && xml.compare(end + 14, 2, "\r\n") == 0);
}

// Tokens of the last answer, put into the next structured request as the window does.
struct SCarry {
    std::string acqRefData, processData, recordNo;
};

std::string Element(const std::string& name, const std::string& value) {
    return "\t\t<" + name + ">" + value + "</" + name + ">\r\n";
}

// "Name=Value" lines into a request block, so that the fuzzer reaches the rules quickly.
std::string Structured(const std::string& block, const std::string& lines, const SCarry& carry) {
    std::string out = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<" + block + ">\r\n";
    std::size_t pos = 0;
    while (pos < lines.size()) {
        std::size_t end = lines.find('\n', pos);
        if (end == std::string::npos)
            end = lines.size();
        std::string line = lines.substr(pos, end - pos);
        std::size_t eq = line.find('=');
        if (eq != std::string::npos && eq > 0)
            out += Element(line.substr(0, eq), line.substr(eq + 1));
        pos = end + 1;
    }
    if (block == "Transaction") {
        out += Element("AcqRefData", carry.acqRefData) + Element("ProcessData", carry.processData) +
               Element("RecordNo", carry.recordNo);
    }
    return out + "\t</" + block + ">\r\n</TStream>\r\n";
}

void Remember(const std::string& xml, SCarry& carry) {
    pugi::xml_document doc;
    if (!doc.load_string(xml.c_str()))
        return;
    auto get = [&](const char* name) {
        return std::string(doc.select_node((std::string("//") + name).c_str()).node().child_value());
    };
    carry = {get("AcqRefData"), get("ProcessData"), get("RecordNo")};
}

// The server-list methods stay off the network: no name is found, so nothing is connected to.
tvxsim::SLookup Offline(const std::string&, tvxsim::SimClock::time_point) {
    tvxsim::SLookup lookup;
    lookup.reason = "offline";
    return lookup;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSimComponent client(ESimKind::Client, Offline);
    static CSimComponent device(ESimKind::Device, Offline);
    static SCarry carry;
    if (size < 1)
        return 0;
    std::uint8_t selector = data[0];
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CSimComponent& component = selector & 0x80 ? device : client;
    const STargetDispids& ids = tvxsim::DispidsOf(component.Kind());
    std::int16_t option = static_cast<std::int16_t>(selector & 0x10);

    std::string answer;
    switch (selector & 0x0F) {
    case 0:
        answer = component.Invoke(ids.nSubmitRequest, {text, option, std::string(), std::string("TRANVEX")});
        break;
    case 1:
    case 2:
    case 3: {
        const char* blocks[] = {"Transaction", "Admin", "Corvane"};
        answer = component.Invoke(ids.nSubmitRequest, {Structured(blocks[(selector & 0x0F) - 1], text, carry),
                                                       option, std::string(), std::string("TRANVEX")});
        Remember(answer, carry);
        break;
    }
    case 4:
        answer = component.Invoke(ids.nStoreServerList, {text, option});
        break;
    case 5:
        answer = component.Invoke(ids.nPingServerList, {text, option});
        break;
    case 6:
        answer = component.Invoke(ids.nGetIPFromServerName, {text, option});
        break;
    case 7: {
        std::size_t nl = text.find('\n');
        std::string port = nl == std::string::npos ? std::string() : text.substr(nl + 1);
        answer = component.Invoke(ids.nPingSingleIP, {text.substr(0, nl), port, option});
        break;
    }
    case 8:
        if (component.Kind() == ESimKind::Device) {
            pugi::xml_document doc;
            Check(static_cast<bool>(doc.load_string(component.Invoke(ids.nGetDeviceList, {}).c_str())));
        }
        return 0;
    default: {
        // Raw dispatch: any DISPID with arguments made from the text must answer or raise a dispatch error.
        DispArgs args;
        for (std::size_t i = 0; i < text.size() && i < 5; ++i) {
            if (text[i] & 1)
                args.emplace_back(std::string(text, i));
            else
                args.emplace_back(static_cast<std::int16_t>(text[i]));
        }
        try {
            answer =
                component.Invoke(static_cast<int>(selector & 0x0F) - 9 + static_cast<int>(size % 11), args);
        } catch (const CDispatchError&) {
            return 0;
        }
        if (answer.rfind("<?xml version=\"1.0\"?>\r\n<DeviceList>", 0) == 0)
            return 0;
        break;
    }
    }
    CheckResponse(answer);
    return 0;
}
