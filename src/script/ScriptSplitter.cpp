// CScriptSplitter: the line scanner that turns a transaction script into stored request texts.
#include "script/ScriptSplitter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

const char* const kPrematureEnd = "Premature End-of-File";

constexpr unsigned kComment = 1, kOpen = 2, kClose = 4;

constexpr std::string_view kCommentOpen = "<!--";
constexpr std::string_view kCommentClose = "-->";

// Which block kind a tag name opens or closes: only the three request block names count.
bool IsBlockName(std::string_view rest) {
    switch (rest.empty() ? '\0' : rest.front()) {
    case 'T':
        return rest.starts_with("Transaction>");
    case 'A':
        return rest.starts_with("Admin>");
    case 'C':
        return rest.starts_with("Corvane>");
    default:
        return false;
    }
}

unsigned TagAt(std::string_view rest) // rest starts just after a '<'
{
    if (rest.starts_with('/'))
        return IsBlockName(rest.substr(1)) ? kClose : 0;
    if (rest.starts_with("!--"))
        return kComment;
    return IsBlockName(rest) ? kOpen : 0;
}

// One pass over the line: every tag the scanner cares about starts with '<', so only those
// positions are looked at.
unsigned ScanTags(std::string_view line) {
    unsigned found = 0;
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1))
        found |= TagAt(line.substr(at + 1));
    return found;
}

// The block name whose opening tag stands first on the line.
std::string_view OpenedKind(std::string_view line) {
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        const std::string_view rest = line.substr(at + 1);
        for (std::string_view name : {"Transaction", "Admin", "Corvane"})
            if (rest.starts_with(name) && rest.substr(name.size()).starts_with('>'))
                return name;
    }
    return {};
}

// A line of only blanks and tabs counts as blank: otherwise one stray indent between two blocks
// would end the scan and silently drop every later transaction.
bool IsBlank(std::string_view line) {
    if (!line.empty() && line.back() != ' ' && line.back() != '\t')
        return false; // the usual case, decided without walking the indentation
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool Contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

} // namespace

int SBlockNote::FileLine(int nStoredLine) const {
    if (arrFileLines.empty())
        return 0;
    const auto index = static_cast<std::size_t>(std::max(nStoredLine, 1) - 1);
    return arrFileLines[std::min(index, arrFileLines.size() - 1)];
}

CScriptSplitter::CScriptSplitter(std::istream& file, Report report)
    : m_file(file), m_buffer(kChunk), m_report(std::move(report)) {}

bool CScriptSplitter::Refill() {
    if (m_bEof)
        return false;
    // The unfinished line moves to the front; only a line longer than a chunk grows the buffer.
    const std::size_t kept = m_nEnd - m_nBegin;
    std::memmove(m_buffer.data(), m_buffer.data() + m_nBegin, kept);
    m_nBegin = 0;
    m_nEnd = kept;
    if (kept + kChunk > m_buffer.size())
        m_buffer.resize(2 * kept + kChunk);
    m_file.read(m_buffer.data() + kept, static_cast<std::streamsize>(m_buffer.size() - kept));
    const auto got = static_cast<std::size_t>(m_file.gcount());
    m_nEnd += got;
    m_bEof = !m_file; // a short read means the end of the stream (or a read error)
    return got != 0;
}

bool CScriptSplitter::ReadLine(std::string_view& line) {
    std::size_t searched = 0; // bytes of the unfinished line known to hold no LF
    for (;;) {
        const std::string_view rest(m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
        if (const std::size_t lf = rest.find('\n', searched); lf != std::string_view::npos) {
            line = rest.substr(0, lf);
            m_nBegin += lf + 1;
            break;
        }
        searched = rest.size();
        if (!Refill()) {
            // The last line needs no LF.
            if (m_nBegin == m_nEnd)
                return false;
            line = std::string_view(m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
            m_nBegin = m_nEnd;
            break;
        }
    }
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    ++m_nLine;
    return true;
}

bool CScriptSplitter::ReadScriptLine(CString& line) {
    std::string_view view;
    if (!ReadSignificant(view))
        return false;
    line.assign(view);
    return true;
}

void CScriptSplitter::AddCommentLine(std::string_view line, bool bFirst) {
    if (bFirst) {
        line = line.substr(line.find(kCommentOpen) + kCommentOpen.size());
        m_strComment.clear();
    } else if (IsBlank(line)) {
        return;
    } else {
        m_strComment.push_back('\n');
    }
    m_strComment.append(line.substr(0, line.find(kCommentClose)));
}

bool CScriptSplitter::ReadSignificant(std::string_view& line) {
    m_nLineTags = 0;
    if (m_bNotes)
        m_strComment.clear();
    do {
        if (!ReadLine(line))
            return PrematureEnd();
    } while (IsBlank(line));

    unsigned tags = ScanTags(line);
    while (tags & kComment) {
        // The region runs from this line through the first line holding "-->", both skipped whole.
        if (m_bNotes)
            AddCommentLine(line, true);
        while (!Contains(line, kCommentClose)) {
            if (!ReadLine(line))
                return PrematureEnd();
            if (m_bNotes)
                AddCommentLine(line, false);
        }
        do {
            if (!ReadLine(line))
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
    Split(arrTransactions, nullptr);
}

void CScriptSplitter::SplitScript(CStringArray& arrTransactions, std::vector<SBlockNote>& notes) {
    Split(arrTransactions, &notes);
}

void CScriptSplitter::Split(CStringArray& arrTransactions, std::vector<SBlockNote>* pNotes) {
    m_bNotes = pNotes != nullptr;
    std::string_view line;
    if (!ReadSignificant(line))
        return;
    if (!Contains(line, "<?xml version=")) {
        if (m_report)
            m_report("No ?xml version at top of file");
        return;
    }
    CString header(line);
    header.append("\r\n", 2);
    const int nDeclarationLine = m_nLine;

    if (!ReadSignificant(line))
        return;
    if (!Contains(line, "<TStream>")) {
        if (m_report)
            m_report("No <TStream> in XML");
        return;
    }
    header.append(line);
    header.append("\r\n", 2);
    const int nStreamLine = m_nLine;

    // One working buffer for all blocks; each stored text is then a single exact-size copy.
    CString text;
    SBlockNote note;
    if (!ReadSignificant(line))
        return;
    while (m_nLineTags & kOpen) {
        text.assign(header);
        if (m_bNotes) {
            note.strComment = std::move(m_strComment);
            note.strKind = OpenedKind(line);
            note.arrFileLines = {nDeclarationLine, nStreamLine};
        }
        // Any closing tag ends the block, whichever tag opened it; it may stand on the opening line.
        while (!(m_nLineTags & kClose)) {
            text.append(line);
            text.append("\r\n", 2);
            if (m_bNotes)
                note.arrFileLines.push_back(m_nLine);
            if (!ReadSignificant(line)) {
                // The unfinished block is dropped.
                const std::string_view block = std::string_view(text).substr(header.size());
                m_strUnread.assign(block.substr(0, block.find("\r\n")));
                return;
            }
        }
        text.append(line);
        text.append("\r\n</TStream>", 12);
        arrTransactions.emplace_back(text);
        if (m_bNotes) {
            note.arrFileLines.push_back(m_nLine);
            pNotes->push_back(std::move(note));
        }
        if (!ReadSignificant(line))
            return;
    }
    if (!Contains(line, "</TStream>"))
        m_strUnread.assign(line);
}
