// Text helpers of the simulated components.
#include "sim/SimText.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tvxsim {

std::string EscapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

namespace {

// The bytes a value cannot hold as they are: markup and control characters.
constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c)
        table[static_cast<std::size_t>(c)] = true;
    table['&'] = table['<'] = table['>'] = true;
    return table;
}();

bool NeedsEscape(char c) {
    return kNeedsEscape[static_cast<unsigned char>(c)];
}

} // namespace

bool IsPlainText(std::string_view text) {
    return std::none_of(text.begin(), text.end(), NeedsEscape);
}

void AppendEscaped(std::string& out, std::string_view text) {
    // Plain runs go in whole; most values have no character to change.
    auto run = text.begin();
    for (auto at = std::find_if(run, text.end(), NeedsEscape); at != text.end();
         at = std::find_if(run, text.end(), NeedsEscape)) {
        out.append(run, at);
        switch (*at) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += ' ';
            break;
        }
        run = at + 1;
    }
    out.append(run, text.end());
}

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string Clip(std::string_view text, std::size_t max) {
    if (text.size() <= max)
        return std::string(text);
    return std::string(text.substr(0, max)) + "...";
}

bool ParseAmount(std::string_view text, std::int64_t& cents) {
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (!IsDigits(whole) || whole.size() > 7)
        return false;
    if (dot != std::string_view::npos && (frac.size() < 1 || frac.size() > 2 || !IsDigits(frac)))
        return false;
    std::int64_t value = 0;
    for (char c : whole)
        value = value * 10 + (c - '0');
    std::int64_t fraction = 0;
    if (!frac.empty())
        fraction = (frac[0] - '0') * 10 + (frac.size() > 1 ? frac[1] - '0' : 0);
    cents = value * 100 + fraction;
    return true;
}

std::string FormatAmount(std::int64_t cents) {
    std::uint64_t magnitude =
        cents < 0 ? static_cast<std::uint64_t>(-cents) : static_cast<std::uint64_t>(cents);
    std::string out = cents < 0 ? "-" : "";
    out += std::to_string(magnitude / 100);
    out += '.';
    out += static_cast<char>('0' + magnitude % 100 / 10);
    out += static_cast<char>('0' + magnitude % 10);
    return out;
}

std::string Padded(std::uint64_t value, int width) {
    std::string out(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out;
}

std::uint32_t Fnv1a(std::string_view text, std::uint32_t start) {
    std::uint32_t hash = start;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

} // namespace tvxsim
