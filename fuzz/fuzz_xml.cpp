// libFuzzer target: any bytes as a document through CXmlDocHelper, with a write/re-read check.
#include "xml/XmlDocHelper.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool IsBlankText(const CString& text) {
    return text.find_first_not_of(" \t\r\n") == CString::npos;
}

// The layout adds line breaks and tabs between elements, so it reads back the same only where no
// element mixes text with elements (or starts with a dropped node before its text), and no text
// would be dropped or changed by the reader: all white space, or a CR left by a character reference.
bool LayoutReadsBack(pugi::xml_node element) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && !LayoutReadsBack(child))
            return false;
    if (!element.first_child())
        return true;
    bool hasElement = false;
    CString text;
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element)
            hasElement = true;
        else if (child.type() == pugi::node_pcdata)
            text += child.value();
    }
    if (element.first_child().type() == pugi::node_pcdata)
        return !hasElement && !IsBlankText(text) && text.find('\r') == CString::npos;
    return hasElement && text.empty();
}

bool StableDocument(const CString& xml) {
    pugi::xml_document doc;
    const unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi |
                             pugi::parse_declaration | pugi::parse_doctype;
    if (!doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8))
        return false;
    const pugi::xml_node root = doc.document_element();
    return root && LayoutReadsBack(root);
}

// Element names taken from the input's own tags, so that lookups find something.
CStringArray NamesIn(const CString& text) {
    CStringArray names;
    for (std::size_t at = text.find('<'); at != CString::npos && names.size() < 4;
         at = text.find('<', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[end])) || std::strchr("_:.-", text[end])))
            ++end;
        if (end > at + 1)
            names.push_back(text.substr(at + 1, end - at - 1));
    }
    names.push_back(text.substr(0, std::min<std::size_t>(text.size(), 8)));
    return names;
}

void CheckRecord(const CXmlDocHelper& doc) {
    const int code = doc.GetError().m_nCode;
    Check(code == XML_ERROR_NOT_SET || code == XML_ERROR_FAILED);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CString input(reinterpret_cast<const char*>(data), size);
    CXmlDocHelper doc;
    const bool parsed = doc.Load(input);
    Check(doc.IsLoaded());
    if (!parsed)
        Check(doc.GetError().m_nCode == XML_ERROR_FAILED);

    CString first;
    Check(doc.GetXml(first));
    if (parsed) {
        // What the helper writes must read back; where the layout allows, to the same text.
        CXmlDocHelper again;
        Check(again.Load(first));
        CString second;
        Check(again.GetXml(second));
        if (StableDocument(input))
            Check(second == first);
    } else {
        Check(first == "<?xml version=\"1.0\"?>\r\n");
    }

    const CStringArray names = NamesIn(input);
    CString value;
    for (const CString& name : names) {
        const bool found = doc.HasElement(name);
        Check(doc.ReadValue(name, value) == found);
        CheckRecord(doc);
    }
    const CString text = input.substr(input.size() / 2);
    if (doc.SetValue(names[0], text) && text.find('\0') == CString::npos)
        Check(doc.GetValue(names[0]) == text);
    if (doc.AddElement(names.back(), names[names.size() / 2], text))
        Check(doc.HasElement(names[names.size() / 2]));
    CheckRecord(doc);
    Check(doc.GetXml(first));
    return 0;
}
