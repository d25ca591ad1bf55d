// Escaping for the XML and HTML reports.
#include "runner/ReportText.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 sequence at text[pos], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                         : lead >= 0xE0                ? 3
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                                                       : 0;
    if (length == 0 || pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = static_cast<unsigned char>(text[pos + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0; // overlong, surrogate or beyond U+10FFFF
    if (lead == 0xEF && second == 0xBF && (static_cast<unsigned char>(text[pos + 2]) & 0xFE) == 0xBE)
        return 0; // U+FFFE and U+FFFF are not characters
    return length;
}

// Bytes that go out as they are.
constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
    plain['\n'] = plain['\t'] = true;
    return plain;
}();

// Bytes that go into a CDATA section as they are.
constexpr auto kInCData = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = c != ']';
    plain['\n'] = plain['\t'] = true;
    return plain;
}();

} // namespace

void AppendEscaped(CString& out, std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && kPlain[static_cast<unsigned char>(text[pos])])
            ++pos;
        out.append(text.data() + start, pos - start);
        if (pos == text.size())
            break;
        const char c = text[pos];
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80) {
            const std::size_t length = Utf8Length(text, pos);
            if (length == 0) {
                out += kReplacement;
                ++pos;
            } else {
                out.append(text.substr(pos, length));
                pos += length;
            }
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case '\r':
            if (pos + 1 >= text.size() || text[pos + 1] != '\n')
                out += '\n';
            break;
        default:
            out += kReplacement; // other control characters
        }
        ++pos;
    }
}

void AppendCData(CString& out, std::string_view text) {
    out += "<![CDATA[";
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && kInCData[static_cast<unsigned char>(text[pos])])
            ++pos;
        out.append(text.data() + start, pos - start);
        if (pos == text.size())
            break;
        const unsigned char u = static_cast<unsigned char>(text[pos]);
        std::size_t length = 1;
        if (text.substr(pos, 3) == "]]>") {
            out += "]]]]><![CDATA[>"; // "]]>" cannot stand inside one section
            length = 3;
        } else if (u == ']') {
            out += ']';
        } else if (u == '\r') {
            if (pos + 1 >= text.size() || text[pos + 1] != '\n')
                out += '\n';
        } else if (u >= 0x80 && (length = Utf8Length(text, pos)) > 0) {
            out.append(text.substr(pos, length));
        } else {
            out += kReplacement;
            length = 1;
        }
        pos += length;
    }
    out += "]]>";
}

void AppendFixed(CString& out, double dValue, int nDecimals) {
    char digits[400]; // room for the largest double
    const auto result =
        std::to_chars(digits, digits + sizeof digits, dValue, std::chars_format::fixed, nDecimals);
    out.append(digits, result.ec == std::errc() ? result.ptr : digits);
}

CReportWriter::CReportWriter(std::ostream& out) : m_out(out) {
    m_block.reserve(kBlock + kBlock / 4); // a block's last part may run past the megabyte
}

CReportWriter& CReportWriter::operator<<(long long n) {
    char digits[24];
    m_block.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    return *this;
}

CReportWriter& CReportWriter::Attribute(std::string_view text) {
    const std::size_t start = m_block.size();
    AppendEscaped(m_block, text);
    std::replace_if(
        m_block.begin() + static_cast<std::ptrdiff_t>(start), m_block.end(),
        [](char c) { return c == '\n' || c == '\t'; }, ' ');
    return *this;
}

void CReportWriter::Flush() {
    m_out.write(m_block.data(), static_cast<std::streamsize>(m_block.size()));
    m_block.clear();
}
