// CScriptSplitter: the line scanner that turns a transaction script into stored request texts.
#include "script/ScriptSplitter.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

namespace {

const char* const kPrematureEnd = "Premature End-of-File";

constexpr unsigned kComment = 1, kOpen = 2, kClose = 4;

// Bit i set when p[i] == c, for i in 0..15. Lines are short, so one inline sixteen-byte compare
// beats a library search call per line end and per tag (bench_script: splitting with memchr and
// string_view::find instead takes 20-35% more time).
unsigned BytesEqual16(const char* p, char c) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
#else
    unsigned mask = 0;
    for (unsigned i = 0; i < 16; ++i)
        mask |= static_cast<unsigned>(p[i] == c) << i;
    return mask;
#endif
}

// First c in [p, end), or nullptr; reads up to fifteen bytes past end.
const char* FindByte(const char* p, const char* end, char c) {
    for (; p < end; p += 16) {
        if (const unsigned mask = BytesEqual16(p, c)) {
            const char* hit = p + __builtin_ctz(mask);
            return hit < end ? hit : nullptr;
        }
    }
    return nullptr;
}

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

// One pass over the line: every tag the scanner cares about starts with '<', so only those
// positions are looked at. The line must be followed by fifteen readable bytes.
unsigned ScanTags(std::string_view line) {
    unsigned found = 0;
    const char* const end = line.data() + line.size();
    for (const char* block = line.data(); block < end; block += 16) {
        for (unsigned mask = BytesEqual16(block, '<'); mask; mask &= mask - 1) {
            const char* angle = block + __builtin_ctz(mask);
            if (angle >= end)
                break;
            found |= TagAt(angle + 1, end);
        }
    }
    return found;
}

// A line of only blanks and tabs counts as blank: otherwise one stray indent between two blocks
// would end the scan and silently drop every later transaction.
bool IsBlank(std::string_view line) {
    if (line.empty())
        return true;
    if (line.back() != ' ' && line.back() != '\t')
        return false; // the usual case, decided without walking the indentation
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool Contains(std::string_view line, std::string_view text) {
    return line.find(text) != std::string_view::npos;
}

std::string_view WithoutCr(const char* begin, std::size_t size) {
    if (size != 0 && begin[size - 1] == '\r')
        --size;
    return {begin, size};
}

} // namespace

CScriptLineReader::CScriptLineReader(std::istream& file, std::size_t chunk)
    : m_file(file), m_buffer((chunk ? chunk : 1) + kSlack) {}

bool CScriptLineReader::Refill() {
    if (m_bEof)
        return false;
    // The unfinished line moves to the front; only a line that fills the whole buffer grows it.
    const std::size_t kept = m_nEnd - m_nBegin;
    std::memmove(m_buffer.data(), m_buffer.data() + m_nBegin, kept);
    m_nBegin = 0;
    m_nEnd = kept;
    if (kept + kSlack == m_buffer.size())
        m_buffer.resize(2 * kept + kSlack);

    const std::size_t room = m_buffer.size() - kSlack - m_nEnd;
    m_file.read(m_buffer.data() + m_nEnd, static_cast<std::streamsize>(room));
    const auto got = static_cast<std::size_t>(m_file.gcount());
    m_nEnd += got;
    m_bEof = !m_file; // a short read means the end of the stream (or a read error)
    return got != 0;
}

bool CScriptLineReader::ReadLine(std::string_view& line) {
    std::size_t searched = 0; // bytes after m_nBegin already known to hold no LF
    for (;;) {
        const char* const begin = m_buffer.data() + m_nBegin;
        const std::size_t size = m_nEnd - m_nBegin;
        if (const char* lf = FindByte(begin + searched, begin + size, '\n')) {
            const auto length = static_cast<std::size_t>(lf - begin);
            line = WithoutCr(begin, length);
            m_nBegin += length + 1;
            return true;
        }
        searched = size;
        if (!Refill()) {
            if (m_nBegin == m_nEnd)
                return false;
            line = WithoutCr(m_buffer.data() + m_nBegin, m_nEnd - m_nBegin);
            m_nBegin = m_nEnd;
            return true;
        }
    }
}

CScriptSplitter::CScriptSplitter(std::istream& file, Report report, std::size_t chunk)
    : m_reader(file, chunk), m_report(std::move(report)) {}

bool CScriptSplitter::ReadScriptLine(CString& line) {
    std::string_view view;
    if (!ReadSignificant(view))
        return false;
    line.assign(view);
    return true;
}

bool CScriptSplitter::ReadSignificant(std::string_view& line) {
    m_nLineTags = 0;
    do {
        if (!m_reader.ReadLine(line))
            return PrematureEnd();
    } while (IsBlank(line));

    unsigned tags = ScanTags(line);
    while (tags & kComment) {
        // The region runs from this line through the first line holding "-->", both skipped whole.
        while (!Contains(line, "-->")) {
            if (!m_reader.ReadLine(line))
                return PrematureEnd();
        }
        do {
            if (!m_reader.ReadLine(line))
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

    if (!ReadSignificant(line))
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
    if (!ReadSignificant(line))
        return;
    while (m_nLineTags & kOpen) {
        text.assign(header);
        // Any closing tag ends the block, whichever tag opened it; it may stand on the opening line.
        while (!(m_nLineTags & kClose)) {
            text.append(line);
            text.append("\r\n", 2);
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
        if (!ReadSignificant(line))
            return;
    }
    if (!Contains(line, "</TStream>"))
        m_strUnread.assign(line);
}
