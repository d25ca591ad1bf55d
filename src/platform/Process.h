// Starting an outside program and waiting for it to end: no shell, each argument passed as it is.
#pragma once

#include "platform/MfcTypes.h"

class QWidget;

// Starts program with args and waits, with no time limit, until it ends. Meanwhile pWindow keeps
// repainting but takes no input. False, without waiting, when the program could not be started.
bool RunAndWait(const CString& program, const CStringArray& args, QWidget* pWindow);
