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

// What each byte becomes, padded to eight bytes so that every one is copied with one move; length 0
// sends the byte to the careful path (line ends, control characters, UTF-8, "]]>").
struct SOutput {
    std::array<std::array<char, 8>, 256> text{};
    std::array<std::uint8_t, 256> length{};
};
constexpr std::size_t kMaxGrowth = 6; // "&quot;" for '"'; "]]]]><![CDATA[>" for "]]>" is five per byte
constexpr std::size_t kPadding = 8;   // bytes a copy may write past its output

constexpr SOutput MakeOutput(bool bEscape) {
    SOutput out;
    for (int c = 0x20; c < 0x7F; ++c) {
        out.text[c][0] = static_cast<char>(c);
        out.length[c] = 1;
    }
    out.text['\n'][0] = '\n';
    out.text['\t'][0] = '\t';
    out.length['\n'] = out.length['\t'] = 1;
    if (!bEscape) {
        out.length[']'] = 0;
        return out;
    }
    const std::pair<char, std::string_view> entities[] = {
        {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}};
    for (const auto& [c, entity] : entities) {
        const auto u = static_cast<unsigned char>(c);
        for (std::size_t i = 0; i < entity.size(); ++i)
            out.text[u][i] = entity[i];
        out.length[u] = static_cast<std::uint8_t>(entity.size());
    }
    return out;
}
constexpr SOutput kEscaped = MakeOutput(true);
constexpr SOutput kInCData = MakeOutput(false);

char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// Writes text through the table; out has room for kMaxGrowth bytes per byte of text, plus padding.
char* Convert(char* out, std::string_view text, const SOutput& table) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto u = static_cast<unsigned char>(text[pos]);
        if (const std::size_t length = table.length[u]; length != 0) {
            std::memcpy(out, table.text[u].data(), kPadding);
            out += length;
            ++pos;
            continue;
        }
        std::size_t used = 1;
        if (u == ']') {
            if (text.substr(pos, 3) == "]]>") {
                out = Put(out, "]]]]><![CDATA[>"); // "]]>" cannot stand inside one section
                used = 3;
            } else {
                *out++ = ']';
            }
        } else if (u == '\r') {
            if (pos + 1 >= text.size() || text[pos + 1] != '\n')
                *out++ = '\n';
        } else if (u >= 0x80 && (used = Utf8Length(text, pos)) > 0) {
            out = Put(out, text.substr(pos, used));
        } else {
            out = Put(out, kReplacement); // other control characters, bytes that are not UTF-8
            used = 1;
        }
        pos += used;
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

CReportWriter::CReportWriter(std::ostream& out) : m_out(out) {
    Reserve(kBlock + kBlock / 4); // a block's last part may run past the megabyte
}

char* CReportWriter::Reserve(std::size_t n) {
    if (m_nCapacity - m_nSize < n) {
        Flush();
        if (m_nCapacity < n) {
            m_pData.reset(new char[n]);
            m_nCapacity = n;
        }
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
    CommitTo(Convert(Reserve(text.size() * kMaxGrowth + kPadding), text, kEscaped));
    return *this;
}

CReportWriter& CReportWriter::Attribute(std::string_view text) {
    char* start = Reserve(text.size() * kMaxGrowth + kPadding);
    char* end = Convert(start, text, kEscaped);
    std::replace_if(
        start, end, [](char c) { return c == '\n' || c == '\t'; }, ' ');
    CommitTo(end);
    return *this;
}

CReportWriter& CReportWriter::CData(std::string_view text) {
    *this << "<![CDATA[";
    CommitTo(Convert(Reserve(text.size() * kMaxGrowth + kPadding), text, kInCData));
    return *this << "]]>";
}

void CReportWriter::Flush() {
    if (m_nSize > 0)
        m_out.write(m_pData.get(), static_cast<std::streamsize>(m_nSize));
    m_nSize = 0;
}
