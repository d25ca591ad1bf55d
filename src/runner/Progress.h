// Progress on standard error: one line per transaction, or, on a terminal, one line updated in place
// with the failures kept above it.
#pragma once

#include <chrono>
#include <cstdio>

#include "runner/CardMasking.h"
#include "runner/RunResult.h"

class CProgressPrinter {
public:
    // Lines go out together, at most this often, so that a run of many short transactions does not
    // spend its time writing progress.
    static constexpr std::chrono::milliseconds kWriteInterval{100};

    CProgressPrinter(std::FILE* out, bool bTerminal, const CCardMasker& mask)
        : m_out(out), m_bTerminal(bTerminal), m_mask(mask) {}
    CProgressPrinter(const CProgressPrinter&) = delete;
    CProgressPrinter& operator=(const CProgressPrinter&) = delete;
    ~CProgressPrinter() { Write(); }

    void Transaction(const SScriptResult& script, const STransactionResult& t, int nTotal);
    // What the script reader reported, and scripts that could not be run.
    void ScriptProblems(const SScriptResult& script);
    void Finish(int nTotal, int nFailed, int nUnreadable, double dSeconds);

private:
    void ClearLine();
    void Write();

    std::FILE* m_out;
    bool m_bTerminal;
    const CCardMasker& m_mask;
    bool m_bLineOpen = false; // a terminal progress line is showing, or waiting to be
    CString m_fields, m_pending;
    std::size_t m_nTransientAt = CString::npos; // where a waiting line that the next one replaces starts
    std::chrono::steady_clock::time_point m_lastWrite = std::chrono::steady_clock::now();
};
