// Finding each block's note with the script reader's own line rules.
#include "runner/ScriptNotes.h"

#include <optional>
#include <string_view>

#include "runner/TextScan.h"
#include "script/ScriptSplitter.h"

namespace {

constexpr std::string_view kOpen = "<!--";
constexpr std::string_view kClose = "-->";
constexpr std::string_view kOpeners[] = {"<Transaction>", "<Admin>", "<Corvane>"};
constexpr std::string_view kClosedNames[] = {"Transaction>", "Admin>", "Corvane>"}; // after "</"

bool Contains(std::string_view line, std::string_view tag) {
    return line.find(tag) != std::string_view::npos;
}

// One pass over the end tags of the line, rather than one search for each closer.
bool ContainsCloser(std::string_view line) {
    for (std::size_t at = line.find("</"); at != std::string_view::npos; at = line.find("</", at + 2)) {
        const std::string_view rest = line.substr(at + 2);
        for (std::string_view name : kClosedNames)
            if (rest.starts_with(name))
                return true;
    }
    return false;
}

// The tag whose opening tag stands first in the line, or empty.
std::string_view OpenedKind(std::string_view line) {
    std::string_view kind;
    std::size_t first = std::string_view::npos;
    for (std::string_view tag : kOpeners)
        if (const auto at = line.find(tag); at < first) {
            first = at;
            kind = tag.substr(1, tag.size() - 2);
        }
    return kind;
}

} // namespace

std::vector<SBlockNote> ReadBlockNotes(std::istream& file) {
    std::vector<SBlockNote> notes;
    CScriptLineReader reader(file);
    std::string_view line;
    std::optional<CString> comment; // the comment region being read
    std::optional<CString> pending; // the last whole comment since the last significant line
    int nHeaderLines = 0;
    bool bInBlock = false;
    while (reader.ReadLine(line)) {
        if (FindFirst(line, [](char c) { return c != ' ' && c != '\t'; }) == std::string_view::npos)
            continue; // blank, as the script reader counts blank lines
        if (!comment && Contains(line, kOpen)) {
            const std::string_view body = line.substr(line.find(kOpen) + kOpen.size());
            comment = CString(body.substr(0, body.find(kClose)));
            if (!Contains(line, kClose)) // a region may end on its first line only
                continue;
        } else if (comment) {
            comment->append("\n").append(line.substr(0, line.find(kClose)));
            if (!Contains(line, kClose))
                continue;
        }
        if (comment) {
            if (!bInBlock)
                pending = std::move(*comment);
            comment.reset();
            continue;
        }
        // A significant line.
        if (nHeaderLines < 2) {
            ++nHeaderLines;
        } else if (bInBlock) {
            bInBlock = !ContainsCloser(line);
        } else if (const std::string_view kind = OpenedKind(line); !kind.empty()) {
            notes.push_back({pending.value_or(CString()), CString(kind)});
            bInBlock = !ContainsCloser(line);
        } else {
            break; // the scan ends where the script reader's does
        }
        pending.reset();
    }
    return notes;
}

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
