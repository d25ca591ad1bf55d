// The RStream answer of a simulated component.
#include "sim/SimResponse.h"

#include <algorithm>

#include "sim/SimText.h"

namespace tvxsim {

namespace {

// Room for a whole answer, so that writing one does not grow the text on the way.
constexpr std::size_t kAnswerReserve = 1024;
constexpr std::size_t kBodyReserve = 512;
constexpr std::size_t kBodyDepth = 2; // RStream, then the body

} // namespace

CSimXmlWriter::CSimXmlWriter() {
    m_strOut.reserve(kAnswerReserve);
    m_strOut = "<?xml version=\"1.0\"?>\r\n";
}

CSimXmlWriter::CSimXmlWriter(std::size_t depth) : m_nDepth(depth) {}

void CSimXmlWriter::Indent() {
    m_strOut.append(m_nDepth + m_arrOpen.size(), '\t');
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
    if (!IsPlainText(value)) {
        Indent();
        m_strOut.append("<").append(name).append(">");
        AppendEscaped(m_strOut, value);
        m_strOut.append("</").append(name).append(">\r\n");
        return;
    }
    // The line in one piece: answers are mostly such lines, and appending them bit by bit was a
    // fifth of tranvex-host's time per sale.
    const std::size_t tabs = m_nDepth + m_arrOpen.size();
    const std::size_t at = m_strOut.size();
    m_strOut.resize(at + tabs + 2 * name.size() + value.size() + std::size("<></>\r\n") - 1);
    char* out = m_strOut.data() + at;
    const auto put = [&out](std::string_view text) { out = std::copy(text.begin(), text.end(), out); };
    out = std::fill_n(out, tabs, '\t');
    put("<");
    put(name);
    put(">");
    put(value);
    put("</");
    put(name);
    put(">\r\n");
}

std::string CSimXmlWriter::Take() {
    while (!m_arrOpen.empty())
        Close();
    return std::move(m_strOut);
}

CSimResponse::CSimResponse(std::string origin, std::string returnCode, std::string status, std::string text)
    : m_strOrigin(std::move(origin)), m_strReturnCode(std::move(returnCode)), m_strStatus(std::move(status)),
      m_strText(std::move(text)), m_items(kBodyDepth) {}

CSimResponse CSimResponse::Error(std::string origin, std::string returnCode, std::string text) {
    return CSimResponse(std::move(origin), std::move(returnCode), kStatusError, std::move(text));
}

void CSimResponse::SetBody(std::string name) {
    m_strBody = std::move(name);
    m_items.Reserve(kBodyReserve);
}

void CSimResponse::Add(std::string_view name, std::string_view value) {
    m_items.Leaf(name, value);
}

void CSimResponse::AddIfAny(std::string_view name, std::string_view value) {
    if (!value.empty())
        Add(name, value);
}

void CSimResponse::Begin(std::string_view name) {
    m_items.Open(name);
}

void CSimResponse::End() {
    m_items.Close();
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
        if (m_items.AllClosed()) {
            out.Append(m_items.Text());
        } else { // a group left open is closed before the body
            CSimXmlWriter items = m_items;
            out.Append(items.Take());
        }
    }
    return out.Take();
}

} // namespace tvxsim
