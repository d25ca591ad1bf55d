// Cuts a transaction script (declaration, stream line, request blocks) into stored request texts.
// Windowless: problems are handed to a report callback, which the main window shows in message boxes.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

// Splits a stream into lines, reading it in large chunks rather than a line at a time.
class CScriptLineReader {
public:
    static constexpr std::size_t kChunk = 64 * 1024; // bytes asked of the stream per read
    // Readable bytes always present past the end of a returned line, so that lines can be
    // searched with whole sixteen-byte loads.
    static constexpr std::size_t kSlack = 16;

    // A small chunk only makes tests and the fuzzer cross chunk edges often.
    explicit CScriptLineReader(std::istream& file, std::size_t chunk = kChunk);

    // The next line, without its LF or a CR just before it; the last line needs no LF. The view
    // points into the reader's buffer and stays valid until the next call. False at end of file.
    bool ReadLine(std::string_view& line);

private:
    bool Refill(); // keeps the unread bytes, appends more after them; false when none came

    std::istream& m_file;
    std::vector<char> m_buffer; // data, then kSlack spare bytes; grows only for a longer line
    std::size_t m_nBegin = 0;   // unread bytes are [m_nBegin, m_nEnd)
    std::size_t m_nEnd = 0;
    bool m_bEof = false;
};

class CScriptSplitter {
public:
    using Report = std::function<void(const CString& message)>;

    CScriptSplitter(std::istream& file, Report report, std::size_t chunk = CScriptLineReader::kChunk);

    // The next significant line (not blank, not inside a comment region). At end of file reports
    // "Premature End-of-File" and returns false.
    bool ReadScriptLine(CString& line);

    // Appends one stored text per request block, in file order, to arrTransactions.
    void SplitScript(CStringArray& arrTransactions);

    // After SplitScript: the line where the block scan stopped with blocks possibly left unread (a
    // line that opens no block and is not "</TStream>", or the first line of an unfinished block);
    // empty when the scan reached the end. The window goes by the blocks alone; the runner reports it.
    const CString& UnreadLine() const { return m_strUnread; }

private:
    // ReadScriptLine without the copy: the view is valid until the next read.
    bool ReadSignificant(std::string_view& line);
    bool PrematureEnd(); // reports the end of file; always false

    CScriptLineReader m_reader;
    Report m_report;
    unsigned m_nLineTags = 0; // block and comment tags of the line last returned as significant
    CString m_strUnread;
};
