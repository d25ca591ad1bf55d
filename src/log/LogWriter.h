// The daily log: CLineQueue (the guarded list of pending lines), CLogWriter (one worker thread that
// appends batches to CORVANE_LOGS/XMLmmddyyyy.log) and GetLogWriter (the process's one writer).
#pragma once
// NOTE: interface fixed for the window code; the log implementation may add members.

#include <string>

#include "platform/MfcTypes.h"

class CLogWriter;

// The process's one writer, made on first use with the working directory and the real clock,
// destroyed at process exit (writing what is still queued). User-interface thread only.
CLogWriter* GetLogWriter();

// Writes "[%H:%M:%S]" + the printf-style message. Text the program did not write itself goes in as
// an argument ("%s"), never as the format. Returns false when the writer has stopped.
// bool CLogWriter::Write(const char* format, ...) __attribute__((format(printf, 2, 3)));
