// Finding one of a few bytes in short texts with a predicate per byte, so that each caller says
// in one place which bytes it means (blanks, line ends).
#pragma once

#include <algorithm>
#include <string_view>

// The first place from pos where pred holds, or npos.
template <typename Pred> std::size_t FindFirst(std::string_view text, Pred pred, std::size_t pos = 0) {
    if (pos >= text.size())
        return std::string_view::npos;
    const auto it = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), pred);
    return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

inline bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || IsLineEnd(c);
}

// The text without blanks and line ends at either end.
inline std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = FindFirst(text, [](char c) { return !IsBlank(c); });
    if (first == std::string_view::npos)
        return {};
    std::size_t last = text.size();
    while (IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}
