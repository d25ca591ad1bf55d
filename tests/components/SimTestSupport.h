// Helpers for the simulator tests: requests in the window's serialised layout and response lookups.
#pragma once

#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimComponent.h"

namespace simtest {

using Fields = std::vector<std::pair<std::string, std::string>>;

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

// A parsed response; Get finds the first element of a name anywhere, as the window does.
class Response {
public:
    explicit Response(std::string xml) : m_xml(std::move(xml)) {
        m_ok = static_cast<bool>(m_doc.load_string(m_xml.c_str()));
    }
    bool WellFormed() const { return m_ok; }
    const std::string& Xml() const { return m_xml; }
    std::string Get(const char* name) const {
        pugi::xpath_node node = m_doc.select_node((std::string("//") + name).c_str());
        return node ? node.node().child_value() : "";
    }
    bool Has(const char* name) const { return m_doc.select_node((std::string("//") + name).c_str()); }
    std::string Status() const { return Get("CmdStatus"); }
    std::string Origin() const { return Get("ResponseOrigin"); }
    std::string Code() const { return Get("KVTXReturnCode"); }
    std::string Text() const { return Get("TextResponse"); }

private:
    std::string m_xml;
    pugi::xml_document m_doc;
    bool m_ok = false;
};

// A component with a merchant and a card ready, so that each test states only what it is about.
class Session {
public:
    explicit Session(tvxsim::ESimKind kind = tvxsim::ESimKind::Client) : m_component(kind) {}

    Response Submit(const std::string& text) {
        int dispid = tvxsim::DispidsOf(m_component.Kind()).nSubmitRequest;
        return Response(
            m_component.Invoke(dispid, {text, std::int16_t{0}, std::string(), std::string("TRANVEX")}));
    }
    Response Tran(Fields fields) { return Submit(Request("Transaction", fields)); }
    Response Admin(const std::string& code, const std::string& merchant = kMerchant) {
        return Submit(Request("Admin", {{"MerchantID", merchant}, {"TranCode", code}}));
    }

    // Fields of extra replace those of the same name in base; the others are appended.
    static Fields Merge(Fields base, const Fields& extra) {
        for (const auto& field : extra) {
            auto it =
                std::find_if(base.begin(), base.end(), [&](const auto& f) { return f.first == field.first; });
            if (it != base.end())
                it->second = field.second;
            else
                base.push_back(field);
        }
        return base;
    }

    // A keyed credit sale of the standard card, changed or extended by extra.
    static Fields SaleFields(const std::string& purchase, const std::string& invoice) {
        return {{"MerchantID", kMerchant}, {"TranType", "Credit"}, {"TranCode", "Sale"},
                {"InvoiceNo", invoice},    {"AcctNo", kVisa},      {"ExpDate", "1228"},
                {"Purchase", purchase}};
    }
    Response Sale(const std::string& purchase, const std::string& invoice, Fields extra = {}) {
        return Tran(Merge(SaleFields(purchase, invoice), extra));
    }
    // A follow-up on a record, changed or extended by extra.
    Response FollowUp(const std::string& code, const std::string& recordNo, Fields extra = {}) {
        return Tran(Merge({{"MerchantID", kMerchant}, {"TranCode", code}, {"RecordNo", recordNo}}, extra));
    }

    tvxsim::CSimComponent& Component() { return m_component; }

    static constexpr const char* kMerchant = "880012345678";
    static constexpr const char* kVisa = "4111111111111111";
    static constexpr const char* kGift = "6050110010012345";

private:
    tvxsim::CSimComponent m_component;
};

} // namespace simtest
