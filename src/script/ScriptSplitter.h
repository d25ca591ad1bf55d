// Cuts a transaction script (declaration, stream line, request blocks) into stored request texts.
// Windowless: problems are handed to a report callback, which the main window shows in message boxes.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

// What the splitter can tell of a stored block beyond its text; the runner asks for it, the window not.
struct SBlockNote {
    CString strComment; // the comment directly before the block (only blank lines between): the text
                        // between "<!--" and "-->", its non-blank lines joined with LF; empty for none
    CString strKind;    // Transaction, Admin or Corvane: the tag that stands first on the opening line
    std::vector<int> arrFileLines; // the file's line (from 1) of each line of the stored text, in
                                   // order; the closing "</TStream>" of the stored text has none

    // The file's line of a line of the stored text (from 1); the added "</TStream>" and anything
    // past it count as the block's closing line.
    int FileLine(int nStoredLine) const;
};

class CScriptSplitter {
public:
    using Report = std::function<void(const CString& message)>;

    // The file is read once, in chunks of kChunk bytes, as the lines are asked for.
    CScriptSplitter(std::istream& file, Report report);
    static constexpr std::size_t kChunk = 64 * 1024;

    // The next significant line (not blank, not inside a comment region). At end of file reports
    // "Premature End-of-File" and returns false.
    bool ReadScriptLine(CString& line);

    // Appends one stored text per request block, in file order, to arrTransactions.
    void SplitScript(CStringArray& arrTransactions);
    // The same, and one note per stored text to notes.
    void SplitScript(CStringArray& arrTransactions, std::vector<SBlockNote>& notes);

    // After SplitScript: the line where the block scan stopped with blocks possibly left unread (a
    // line that opens no block and is not "</TStream>", or the first line of an unfinished block);
    // empty when the scan reached the end. The window goes by the blocks alone; the runner reports it.
    const CString& UnreadLine() const { return m_strUnread; }

private:
    void Split(CStringArray& arrTransactions, std::vector<SBlockNote>* pNotes); // notes when not null
    bool Refill(); // keeps the unfinished line, appends the next chunk; false when none came
    // The next line of the file, without its LF or a CR just before it; the view is valid until the
    // next call.
    bool ReadLine(std::string_view& line);
    // ReadScriptLine without the copy.
    bool ReadSignificant(std::string_view& line);
    bool PrematureEnd(); // reports the end of file; always false
    void AddCommentLine(std::string_view line, bool bFirst);

    std::istream& m_file;
    std::vector<char> m_buffer; // unread bytes are [m_nBegin, m_nEnd): the unfinished line and a chunk
    std::size_t m_nBegin = 0;
    std::size_t m_nEnd = 0;
    bool m_bEof = false;
    int m_nLine = 0; // the file's line number of the line last read
    Report m_report;
    unsigned m_nLineTags = 0; // block and comment tags of the line last returned as significant
    CString m_strUnread;
    bool m_bNotes = false; // comments are kept only when notes are asked for
    CString m_strComment;  // the last comment region skipped by the last ReadSignificant
};
