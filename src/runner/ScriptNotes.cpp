// A test name from the comment before a block.
#include "runner/ScriptNotes.h"

#include <string_view>

#include "runner/TextScan.h"

CString NoteTitle(const CString& comment) {
    std::string_view text = comment;
    const auto start = FindFirst(text, [](char c) { return !IsBlank(c); });
    if (start == std::string_view::npos)
        return {};
    text = text.substr(start);
    text = text.substr(0, FindFirst(text, IsLineEnd));
    text = text.substr(0, text.find("Expect:"));
    const auto last = text.find_last_not_of(" \t");
    return last == std::string_view::npos ? CString() : CString(text.substr(0, last + 1));
}
