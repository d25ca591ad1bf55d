// Parses request documents for the simulated components.
#include "sim/SimRequest.h"

#include <pugixml.hpp>

#include "sim/SimText.h"

namespace tvxsim {

namespace {

// A Sale as the window writes it has about twenty elements.
constexpr std::size_t kUsualFieldCount = 24;

// Every element under the block in document order. pugixml walks the tree without recursion, so
// deep nesting cannot exhaust the stack.
class CFieldCollector : public pugi::xml_tree_walker {
public:
    explicit CFieldCollector(std::vector<CSimRequest::SField>& fields) : m_fields(fields) {}
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_element)
            m_fields.push_back({node.name(), Trim(node.child_value())});
        return true;
    }

private:
    std::vector<CSimRequest::SField>& m_fields;
};

} // namespace

void RejectClient(const char* returnCode, std::string text) {
    throw CSimReject{CSimResponse::Error(kOriginClient, returnCode, std::move(text))};
}

void RejectServer(const char* returnCode, std::string text) {
    throw CSimReject{CSimResponse::Error(kOriginServer, returnCode, std::move(text))};
}

CSimRequest::CSimRequest(std::string_view text) {
    if (text.size() > kMaxRequestBytes)
        RejectClient(rc::kTooLarge, "Request too large: " + std::to_string(text.size()) + " bytes (limit " +
                                        std::to_string(kMaxRequestBytes) + ")");
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        RejectClient(rc::kEmptyRequest, "Empty request");

    pugi::xml_parse_result parsed =
        m_doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        RejectClient(rc::kMalformed, std::string("Malformed request XML: ") + parsed.description() +
                                         " at offset " + std::to_string(parsed.offset));

    pugi::xml_node root;
    int roots = 0;
    for (pugi::xml_node node = m_doc.first_child(); node; node = node.next_sibling())
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

    m_strBlock = block.name();
    m_arrFields.reserve(kUsualFieldCount);
    CFieldCollector collector(m_arrFields);
    block.traverse(collector);
}

const CSimRequest::SField* CSimRequest::Find(std::string_view name) const {
    for (const SField& field : m_arrFields)
        if (field.name == name)
            return &field;
    return nullptr;
}

bool CSimRequest::Has(std::string_view name) const {
    const SField* field = Find(name);
    return field && !field->value.empty();
}

std::string_view CSimRequest::Get(std::string_view name) const {
    const SField* field = Find(name);
    return field ? field->value : std::string_view();
}

std::string_view CSimRequest::Require(std::string_view name) const {
    const SField* field = Find(name);
    if (!field || field->value.empty())
        RejectClient(rc::kMissingField, "Missing " + std::string(name));
    return field->value;
}

} // namespace tvxsim
