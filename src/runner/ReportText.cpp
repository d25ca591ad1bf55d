// Escaping for the XML and HTML reports.
#include "runner/ReportText.h"

#include <cstdio>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 sequence at text[pos], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (length == 0 || pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = static_cast<unsigned char>(text[pos + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90))
        return 0; // overlong, surrogate or beyond U+10FFFF
    if (lead == 0xEF && second == 0xBF && (static_cast<unsigned char>(text[pos + 2]) & 0xFE) == 0xBE)
        return 0; // U+FFFE and U+FFFF are not characters
    return length;
}

} // namespace

void AppendEscaped(CString& out, std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
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
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case '\r':
            if (pos + 1 >= text.size() || text[pos + 1] != '\n')
                out += '\n';
            break;
        case '\n':
        case '\t': out += c; break;
        default:
            if (u < 0x20 || u == 0x7F)
                out += kReplacement;
            else
                out += c;
        }
        ++pos;
    }
}

CString Escaped(std::string_view text) {
    CString out;
    out.reserve(text.size() + 16);
    AppendEscaped(out, text);
    return out;
}

CString FormatSeconds(double dSeconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", dSeconds);
    return buffer;
}
