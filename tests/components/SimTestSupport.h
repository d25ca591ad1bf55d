// Helpers for the simulator tests: fields written compactly, requests in the window's serialised
// layout, and response lookups.
#pragma once

#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimComponent.h"

namespace simtest {

using Fields = std::vector<std::pair<std::string, std::string>>;

// "Name=value; Name=value": a value runs to the next "; " and may hold '='; a name given again
// changes the value in its first place.
inline Fields F(const std::string& text) {
    Fields fields;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find("; ", pos), text.size()), eq = text.find('=', pos);
        const std::string name = text.substr(pos, eq - pos);
        auto it = std::find_if(fields.begin(), fields.end(), [&](const auto& f) { return f.first == name; });
        (it != fields.end() ? it->second : fields.emplace_back(name, "").second) =
            text.substr(eq + 1, end - eq - 1);
        pos = end + 2;
    }
    return fields;
}

// <?xml version="1.0"?> then CR LF and TAB-indented elements, amounts inside <Amount>.
inline std::string Request(const std::string& block, const Fields& fields) {
    std::string out = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<" + block + ">";
    std::string amounts;
    for (const auto& [name, value] : fields) {
        std::string line = "<" + name + ">" + value + "</" + name + ">";
        if (name == "Purchase" || name == "Gratuity" || name == "Authorize")
            amounts += "\r\n\t\t\t" + line;
        else
            out += "\r\n\t\t" + line;
    }
    if (!amounts.empty())
        out += "\r\n\t\t<Amount>" + amounts + "\r\n\t\t</Amount>";
    return out + "\r\n\t</" + block + ">\r\n</TStream>\r\n";
}

constexpr const char* kMerchant = "880012345678";
// A keyed credit sale of a standard card.
inline const std::string kSale = std::string("MerchantID=") + kMerchant +
                                 "; TranType=Credit; TranCode=Sale; InvoiceNo=1; AcctNo=4111111111111111; "
                                 "ExpDate=1228; Purchase=1.00";

// A parsed response; Get finds the first element of a name anywhere, as the window does.
class Response {
public:
    explicit Response(std::string xml) : m_xml(std::move(xml)) {
        m_ok = static_cast<bool>(m_doc.load_string(m_xml.c_str()));
    }
    bool WellFormed() const { return m_ok; }
    const std::string& Xml() const { return m_xml; }
    std::string Get(const std::string& name) const { return Node(name).node().child_value(); }
    bool Has(const std::string& name) const { return Node(name); }
    std::string Status() const { return Get("CmdStatus"); }
    std::string Origin() const { return Get("ResponseOrigin"); }
    std::string Code() const { return Get("KVTXReturnCode"); }
    std::string Text() const { return Get("TextResponse"); }

private:
    pugi::xpath_node Node(const std::string& name) const { return m_doc.select_node(("//" + name).c_str()); }
    std::string m_xml;
    pugi::xml_document m_doc;
    bool m_ok = false;
};

// The text of the dispatch error that a call raises, or "no error".
inline std::string DispatchError(IComponent& component, int dispid, const DispArgs& args) {
    try {
        component.Invoke(dispid, args);
    } catch (const CDispatchError& e) {
        return e.what();
    }
    return "no error";
}

// SubmitRequest with the arguments the window passes.
inline Response Submit(IComponent& component, int dispid, const std::string& text) {
    return Response(component.Invoke(dispid, {text, std::int16_t{0}, std::string(), std::string("TRANVEX")}));
}
inline Response Submit(tvxsim::CSimComponent& component, const std::string& text) {
    return Submit(component, tvxsim::DispidsOf(component.Kind()).nSubmitRequest, text);
}

} // namespace simtest
