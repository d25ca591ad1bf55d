// Test names from the comment that the script splitter keeps before each block (SBlockNote).
#pragma once

#include "platform/MfcTypes.h"
#include "script/ScriptSplitter.h"

// A test name from a note: its first line without the Expect part, trimmed; empty when nothing is left.
CString NoteTitle(const CString& comment);
