// Which text editor opens a file, and with what arguments: TRANVEX_EDITOR when set, else the first
// plain-text desktop editor found on PATH.
#pragma once

#include "platform/MfcTypes.h"

struct CEditorCommand {
    CString strProgram; // the program's full path
    CStringArray arrArgs;
};

// False when no editor is to be found. The file goes last, as one argument in absolute form, so a
// name beginning with '-' or '+' is never read as an option.
bool FindTextEditor(const CString& file, CEditorCommand& command);
