// Cuts a transaction script (declaration, stream line, request blocks) into stored request texts.
// Windowless: problems are handed to a report callback, which the main window shows in message boxes.
#pragma once

#include <functional>
#include <istream>
#include <string>

#include "platform/MfcTypes.h"

class CScriptSplitter {
public:
    using Report = std::function<void(const CString& message)>;

    CScriptSplitter(std::istream& file, Report report);

    // The next significant line (not blank, not inside a comment region). At end of file reports
    // "Premature End-of-File" and returns false.
    bool ReadScriptLine(CString& line);

    // Appends one stored text per request block, in file order, to arrTransactions.
    void SplitScript(CStringArray& arrTransactions);

private:
    bool ReadRawLine(CString& line); // one line, without its LF or a CR just before it
    bool PrematureEnd();             // reports the end of file; always false

    std::istream& m_file;
    Report m_report;
    unsigned m_nLineTags = 0; // block and comment tags of the line ReadScriptLine last returned
};
