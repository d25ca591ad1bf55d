// CScriptSplitter: the line scanner that turns a transaction script into stored request texts.
#include "script/ScriptSplitter.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace {

const char* const kPrematureEnd = "Premature End-of-File";

enum : unsigned { kComment = 1u, kOpen = 2u, kClose = 4u };

bool StartsWith(const char* p, const char* end, std::string_view tag)
{
    return static_cast<std::size_t>(end - p) >= tag.size() && std::memcmp(p, tag.data(), tag.size()) == 0;
}

// One pass over the line: which of the tags the scanner cares about it holds. Every tag starts
// with '<', so only those positions are looked at.
unsigned ScanTags(const CString& line)
{
    unsigned found = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p))))) {
        ++p;
        if (p == end)
            break;
        switch (*p) {
        case '!':
            if (StartsWith(p, end, "!--"))
                found |= kComment;
            break;
        case '/':
            if (StartsWith(p, end, "/Transaction>") || StartsWith(p, end, "/Admin>") ||
                StartsWith(p, end, "/Corvane>"))
                found |= kClose;
            break;
        case 'T':
            if (StartsWith(p, end, "Transaction>"))
                found |= kOpen;
            break;
        case 'A':
            if (StartsWith(p, end, "Admin>"))
                found |= kOpen;
            break;
        case 'C':
            if (StartsWith(p, end, "Corvane>"))
                found |= kOpen;
            break;
        default:
            break;
        }
    }
    return found;
}

// A line of only blanks and tabs counts as blank: otherwise one stray indent between two blocks
// would end the scan and silently drop every later transaction.
bool IsBlank(const CString& line)
{
    if (line.empty())
        return true;
    if (line[0] != ' ' && line[0] != '\t')
        return false;
    return line.find_first_not_of(" \t") == CString::npos;
}

bool Contains(const CString& line, std::string_view text)
{
    return line.find(text) != CString::npos;
}

} // namespace

CScriptSplitter::CScriptSplitter(std::istream& file, Report report)
    : m_file(file), m_report(std::move(report))
{
}

bool CScriptSplitter::ReadRawLine(CString& line)
{
    if (!std::getline(m_file, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool CScriptSplitter::ReadScriptLine(CString& line)
{
    m_nLineTags = 0;
    do {
        if (!ReadRawLine(line))
            return PrematureEnd();
    } while (IsBlank(line));

    unsigned tags = ScanTags(line);
    while (tags & kComment) {
        // The region runs from this line through the first line holding "-->", both skipped whole.
        while (!Contains(line, "-->")) {
            if (!ReadRawLine(line))
                return PrematureEnd();
        }
        do {
            if (!ReadRawLine(line))
                return PrematureEnd();
        } while (IsBlank(line));
        tags = ScanTags(line);
    }
    m_nLineTags = tags;
    return true;
}

bool CScriptSplitter::PrematureEnd()
{
    if (m_report)
        m_report(kPrematureEnd);
    return false;
}

void CScriptSplitter::SplitScript(CStringArray& arrTransactions)
{
    CString line;
    if (!ReadScriptLine(line))
        return;
    if (!Contains(line, "<?xml version=")) {
        if (m_report)
            m_report("No ?xml version at top of file");
        return;
    }
    CString header = line;
    header.append("\r\n", 2);

    if (!ReadScriptLine(line))
        return;
    if (!Contains(line, "<TStream>")) {
        if (m_report)
            m_report("No <TStream> in XML");
        return;
    }
    header.append(line);
    header.append("\r\n", 2);

    // One working buffer for all blocks; each stored text is then a single exact-size copy.
    CString text;
    if (!ReadScriptLine(line))
        return;
    while (m_nLineTags & kOpen) {
        text.assign(header);
        // Any closing tag ends the block, whichever tag opened it; it may stand on the opening line.
        while (!(m_nLineTags & kClose)) {
            text.append(line);
            text.append("\r\n", 2);
            if (!ReadScriptLine(line))
                return; // the unfinished block is dropped
        }
        text.append(line);
        text.append("\r\n</TStream>", 12);
        arrTransactions.emplace_back(text);
        if (!ReadScriptLine(line))
            return;
    }
}
