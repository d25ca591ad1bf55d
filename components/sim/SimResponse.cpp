// The RStream answer of a simulated component.
#include "sim/SimResponse.h"

#include "sim/SimText.h"

namespace tvxsim {

CSimXmlWriter::CSimXmlWriter() : m_strOut("<?xml version=\"1.0\"?>\r\n") {}

void CSimXmlWriter::Indent() {
    m_strOut.append(m_arrOpen.size(), '\t');
}

void CSimXmlWriter::Open(std::string_view name) {
    Indent();
    m_strOut.append("<").append(name).append(">\r\n");
    m_arrOpen.emplace_back(name);
}

void CSimXmlWriter::Close() {
    if (m_arrOpen.empty())
        return;
    std::string name = std::move(m_arrOpen.back());
    m_arrOpen.pop_back();
    Indent();
    m_strOut.append("</").append(name).append(">\r\n");
}

void CSimXmlWriter::Leaf(std::string_view name, std::string_view value) {
    Indent();
    m_strOut.append("<")
        .append(name)
        .append(">")
        .append(EscapeXml(value))
        .append("</")
        .append(name)
        .append(">\r\n");
}

std::string CSimXmlWriter::Take() {
    while (!m_arrOpen.empty())
        Close();
    return std::move(m_strOut);
}

CSimResponse::CSimResponse(std::string origin, std::string returnCode, std::string status, std::string text)
    : m_strOrigin(std::move(origin)), m_strReturnCode(std::move(returnCode)), m_strStatus(std::move(status)),
      m_strText(std::move(text)) {}

CSimResponse CSimResponse::Error(std::string origin, std::string returnCode, std::string text) {
    return CSimResponse(std::move(origin), std::move(returnCode), kStatusError, std::move(text));
}

void CSimResponse::Add(std::string name, std::string value) {
    m_arrItems.push_back({SItem::Leaf, std::move(name), std::move(value)});
}

void CSimResponse::AddIfAny(std::string name, std::string value) {
    if (!value.empty())
        Add(std::move(name), std::move(value));
}

void CSimResponse::Begin(std::string name) {
    m_arrItems.push_back({SItem::Open, std::move(name), {}});
}

void CSimResponse::End() {
    m_arrItems.push_back({SItem::Close, {}, {}});
}

std::string CSimResponse::ToXml() const {
    CSimXmlWriter out;
    out.Open("RStream");
    out.Open("CmdResponse");
    out.Leaf("ResponseOrigin", m_strOrigin);
    out.Leaf("KVTXReturnCode", m_strReturnCode);
    out.Leaf("CmdStatus", m_strStatus);
    out.Leaf("TextResponse", m_strText);
    out.Leaf("UserTraceData", m_strUserTrace);
    out.Close();
    if (!m_strBody.empty()) {
        out.Open(m_strBody);
        int groups = 0;
        for (const SItem& item : m_arrItems) {
            if (item.kind == SItem::Leaf) {
                out.Leaf(item.name, item.value);
            } else if (item.kind == SItem::Open) {
                out.Open(item.name);
                ++groups;
            } else if (groups > 0) { // never closes the body itself
                out.Close();
                --groups;
            }
        }
    }
    return out.Take();
}

} // namespace tvxsim
