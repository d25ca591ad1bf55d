// Escaping for the XML and HTML reports.
#include "runner/ReportText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

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

// Bytes that go out as they are, in escaped text and in a CDATA section.
constexpr auto MakePlain(std::string_view special) {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = special.find(static_cast<char>(c)) == std::string_view::npos;
    plain['\n'] = plain['\t'] = true;
    return plain;
}
constexpr auto kPlainEscaped = MakePlain("&<>\"'");
constexpr auto kPlainHtmlText = MakePlain("&<"); // the only markup in an HTML element's text
constexpr auto kPlainInCData = MakePlain("]");
constexpr std::size_t kMaxGrowth = 6; // "&quot;" for '"'; "]]]]><![CDATA[>" for "]]>" is five per byte

char* Put(char* out, std::string_view text) {
    if (!text.empty()) // a writer that has written nothing may have no buffer yet
        std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

struct SPut {
    char* out;        // past what was written
    std::size_t used; // bytes of the text
};

// The byte at text[pos], which is not plain either way.
SPut PutSpecial(char* out, std::string_view text, std::size_t pos) {
    const auto u = static_cast<unsigned char>(text[pos]);
    switch (u) {
    case '&':
        return {Put(out, "&amp;"), 1};
    case '<':
        return {Put(out, "&lt;"), 1};
    case '>':
        return {Put(out, "&gt;"), 1};
    case '"':
        return {Put(out, "&quot;"), 1};
    case '\'':
        return {Put(out, "&#39;"), 1};
    case ']':
        if (text.substr(pos, 3) == "]]>")
            return {Put(out, "]]]]><![CDATA[>"), 3}; // "]]>" cannot stand inside one section
        return {Put(out, "]"), 1};
    case '\r':
        return {pos + 1 < text.size() && text[pos + 1] == '\n' ? out : Put(out, "\n"), 1};
    default:
        if (const std::size_t length = u >= 0x80 ? Utf8Length(text, pos) : 0; length > 0)
            return {Put(out, text.substr(pos, length)), length};
        return {Put(out, kReplacement), 1}; // other control characters, bytes that are not UTF-8
    }
}

// Escaped text: markup comes every few bytes, so plain bytes are copied one by one.
char* PutEscaped(char* out, std::string_view text, const std::array<bool, 256>& plain = kPlainEscaped) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (plain[static_cast<unsigned char>(c)]) {
            *out++ = c;
            ++pos;
        } else if (c == '<') { // most of what is escaped: the markup of the requests and responses
            out = Put(out, "&lt;");
            ++pos;
        } else if (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') { // a CR LF line end
            ++pos;
        } else {
            const SPut put = PutSpecial(out, text, pos);
            out = put.out;
            pos += put.used;
        }
    }
    return out;
}

// CDATA: long runs of plain bytes, each copied at once.
char* PutInCData(char* out, std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && kPlainInCData[static_cast<unsigned char>(text[pos])])
            ++pos;
        out = Put(out, text.substr(start, pos - start));
        if (pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n') {
            ++pos; // a CR LF line end, as in every line of most responses
        } else if (pos < text.size()) {
            const SPut put = PutSpecial(out, text, pos);
            out = put.out;
            pos += put.used;
        }
    }
    return out;
}

} // namespace

void AppendFixed(CString& out, double dValue, int nDecimals) {
    char digits[400]; // room for the largest double
    const auto result =
        std::to_chars(digits, digits + sizeof digits, dValue, std::chars_format::fixed, nDecimals);
    out.append(digits, result.ec == std::errc() ? result.ptr : digits);
}

CReportWriter::CReportWriter(std::ostream& out) : m_pOut(&out) {}

char* CReportWriter::Reserve(std::size_t n) {
    if (m_nCapacity - m_nSize >= n)
        return End();
    if (m_nSize >= kBlock)
        Flush();
    if (m_nCapacity - m_nSize < n) {
        // A part starts small and doubles up to a block; a block's last piece may run past kBlock.
        const std::size_t capacity =
            std::max(m_nSize + n, std::min(std::max({kFirstCapacity, 2 * m_nCapacity, m_nBlockCapacity}),
                                           kBlock + kBlock / 4));
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        Put(data.get(), std::string_view(m_pData.get(), m_nSize));
        m_pData = std::move(data);
        m_nCapacity = capacity;
    }
    return End();
}

CReportWriter& CReportWriter::operator<<(std::string_view text) {
    CommitTo(Put(Reserve(text.size()), text));
    return *this;
}

CReportWriter& CReportWriter::operator<<(long long n) {
    char* out = Reserve(24);
    CommitTo(std::to_chars(out, out + 24, n).ptr);
    return *this;
}

CReportWriter& CReportWriter::Fixed(double dValue, int nDecimals) {
    CString digits;
    AppendFixed(digits, dValue, nDecimals);
    return *this << digits;
}

CReportWriter& CReportWriter::Escaped(std::string_view text) {
    CommitTo(PutEscaped(Reserve(text.size() * kMaxGrowth), text));
    return *this;
}

CReportWriter& CReportWriter::HtmlText(std::string_view text) {
    CommitTo(PutEscaped(Reserve(text.size() * kMaxGrowth), text, kPlainHtmlText));
    return *this;
}

CReportWriter& CReportWriter::Attribute(std::string_view text) {
    char* start = Reserve(text.size() * kMaxGrowth);
    char* end = PutEscaped(start, text);
    std::replace_if(
        start, end, [](char c) { return c == '\n' || c == '\t'; }, ' ');
    CommitTo(end);
    return *this;
}

CReportWriter& CReportWriter::CData(std::string_view text) {
    *this << "<![CDATA[";
    CommitTo(PutInCData(Reserve(text.size() * kMaxGrowth), text));
    return *this << "]]>";
}

void CReportWriter::Flush() {
    if (m_nSize == 0)
        return;
    if (m_pOut) {
        m_pOut->write(m_pData.get(), static_cast<std::streamsize>(m_nSize));
    } else {
        m_kept.push_back({std::move(m_pData), m_nSize});
        m_nBlockCapacity = m_nCapacity; // the next block starts as large
        m_nCapacity = 0;
    }
    m_nSize = 0;
}

void CReportWriter::Splice(CReportWriter& part) {
    Flush();
    for (const SBlock& block : part.m_kept)
        m_pOut->write(block.pData.get(), static_cast<std::streamsize>(block.nSize));
    if (part.m_nSize > 0)
        m_pOut->write(part.m_pData.get(), static_cast<std::streamsize>(part.m_nSize));
    part.m_kept.clear();
    part.m_nSize = 0;
}
