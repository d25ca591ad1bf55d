// Finding one of a few bytes in short texts. string_view's find_first_of and find_first_not_of call
// memchr on the set for every byte of the text; a comparison per byte is several times faster.
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
