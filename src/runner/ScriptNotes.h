// The comment that stands directly before each request block of a script (only blank lines between),
// found with the same line rules the script reader uses, so that note i belongs to stored text i.
#pragma once

#include <istream>
#include <vector>

#include "platform/MfcTypes.h"

struct SBlockNote {
    CString strComment; // the text between "<!--" and "-->", lines joined with LF; empty for none
    CString strKind;    // Transaction, Admin or Corvane: the tag that opened the block
};

std::vector<SBlockNote> ReadBlockNotes(std::istream& file);

// A test name from a note: its first line without the Expect part, trimmed; empty when nothing is left.
CString NoteTitle(const CString& comment);
