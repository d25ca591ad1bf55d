// Parses request documents for the simulated components.
#include "sim/SimRequest.h"

#include <pugixml.hpp>

#include "sim/SimText.h"

namespace tvxsim {

void RejectClient(const char* returnCode, std::string text) {
    throw CSimReject{CSimResponse::Error(kOriginClient, returnCode, std::move(text))};
}

void RejectServer(const char* returnCode, std::string text) {
    throw CSimReject{CSimResponse::Error(kOriginServer, returnCode, std::move(text))};
}

CSimRequest CSimRequest::Parse(std::string_view text) {
    if (text.size() > kMaxRequestBytes)
        RejectClient(rc::kTooLarge, "Request too large: " + std::to_string(text.size()) + " bytes (limit " +
                                        std::to_string(kMaxRequestBytes) + ")");
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        RejectClient(rc::kEmptyRequest, "Empty request");

    pugi::xml_document doc;
    pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        RejectClient(rc::kMalformed, std::string("Malformed request XML: ") + parsed.description() +
                                         " at offset " + std::to_string(parsed.offset));

    pugi::xml_node root;
    int roots = 0;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element && roots++ == 0)
            root = node;
    if (roots != 1 || std::string_view(root.name()) != "TStream")
        RejectClient(rc::kLayout, "The request must be one <TStream> element");

    pugi::xml_node block;
    for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element)
            continue;
        std::string_view name = node.name();
        if (name != "Transaction" && name != "Admin" && name != "Corvane")
            RejectClient(rc::kLayout, "Unknown block <" + Clip(name) + "> in <TStream>");
        if (block)
            RejectClient(rc::kLayout, "Only one block per request");
        block = node;
    }
    if (!block)
        RejectClient(rc::kLayout, "No <Transaction>, <Admin> or <Corvane> block in <TStream>");

    CSimRequest request;
    request.m_strBlock = block.name();
    // Document order without recursion: deep nesting cannot exhaust the stack.
    pugi::xml_node node = block.first_child();
    while (node && node != block) {
        if (node.type() == pugi::node_element)
            request.m_mapFields.emplace(node.name(), Trim(node.child_value())); // keeps the first
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != block && !node.next_sibling())
            node = node.parent();
        if (node != block)
            node = node.next_sibling();
    }
    return request;
}

bool CSimRequest::Has(const std::string& name) const {
    auto it = m_mapFields.find(name);
    return it != m_mapFields.end() && !it->second.empty();
}

std::string CSimRequest::Get(const std::string& name) const {
    auto it = m_mapFields.find(name);
    return it == m_mapFields.end() ? std::string() : it->second;
}

std::string CSimRequest::Require(const std::string& name) const {
    auto it = m_mapFields.find(name);
    if (it == m_mapFields.end() || it->second.empty())
        RejectClient(rc::kMissingField, "Missing " + name);
    return it->second;
}

} // namespace tvxsim
