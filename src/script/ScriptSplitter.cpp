// CScriptSplitter: the line scanner that turns a transaction script into stored request texts.
#include "script/ScriptSplitter.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <string_view>
#include <utility>

namespace {

const char* const kPrematureEnd = "Premature End-of-File";

constexpr unsigned kComment = 1, kOpen = 2, kClose = 4;

bool StartsWith(const char* p, const char* end, std::string_view tag) {
    return static_cast<std::size_t>(end - p) >= tag.size() && std::memcmp(p, tag.data(), tag.size()) == 0;
}

// Which block kind a tag name opens or closes: only the three request block names count.
bool IsBlockName(const char* p, const char* end) {
    switch (p == end ? '\0' : *p) {
    case 'T':
        return StartsWith(p, end, "Transaction>");
    case 'A':
        return StartsWith(p, end, "Admin>");
    case 'C':
        return StartsWith(p, end, "Corvane>");
    default:
        return false;
    }
}

unsigned TagAt(const char* p, const char* end) // p is just after a '<'
{
    if (p == end)
        return 0;
    if (*p == '/')
        return IsBlockName(p + 1, end) ? kClose : 0;
    if (*p == '!')
        return StartsWith(p, end, "!--") ? kComment : 0;
    return IsBlockName(p, end) ? kOpen : 0;
}

// One pass over the line: which of the tags the scanner cares about it holds. Every tag starts
// with '<', so only those positions are looked at; lines are short, so they are searched sixteen
// bytes at a time rather than with a library call per '<'.
unsigned ScanTags(const CString& line) {
    unsigned found = 0;
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const char* p = begin;
#if defined(__SSE2__)
    // A string's buffer always holds at least sixteen bytes (capacity 15 plus the terminator), so
    // a short line is searched with one load and the bytes past its end masked off.
    if (end - p >= 16 || line.capacity() >= 15) {
        const __m128i angle = _mm_set1_epi8('<');
        const auto anglesAt = [&](const char* at) {
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), angle)));
        };
        while (p != end) {
            const char* base = p;
            unsigned mask;
            if (end - p >= 16) {
                mask = anglesAt(p);
                p += 16;
            } else if (p == begin) {
                mask = anglesAt(p) & ((1u << (end - p)) - 1);
                p = end;
            } else {
                // The last chunk overlaps the one before: drop the bytes already looked at.
                base = end - 16;
                mask = anglesAt(base) & ~((1u << (p - base)) - 1);
                p = end;
            }
            for (; mask; mask &= mask - 1)
                found |= TagAt(base + __builtin_ctz(mask) + 1, end);
        }
        return found;
    }
#endif
    for (; p != end; ++p)
        if (*p == '<')
            found |= TagAt(p + 1, end);
    return found;
}

// A line of only blanks and tabs counts as blank: otherwise one stray indent between two blocks
// would end the scan and silently drop every later transaction.
bool IsBlank(const CString& line) {
    if (line.empty())
        return true;
    if (line.back() != ' ' && line.back() != '\t')
        return false; // the usual case, decided without walking the indentation
    return line.find_first_not_of(" \t") == CString::npos;
}

bool Contains(const CString& line, std::string_view text) {
    return line.find(text) != CString::npos;
}

} // namespace

CScriptSplitter::CScriptSplitter(std::istream& file, Report report)
    : m_file(file), m_report(std::move(report)) {}

bool CScriptSplitter::ReadRawLine(CString& line) {
    if (!std::getline(m_file, line, '\n'))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool CScriptSplitter::ReadScriptLine(CString& line) {
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

bool CScriptSplitter::PrematureEnd() {
    if (m_report)
        m_report(kPrematureEnd);
    return false;
}

void CScriptSplitter::SplitScript(CStringArray& arrTransactions) {
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
            text.push_back('\r');
            text.push_back('\n');
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
