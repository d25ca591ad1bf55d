// Progress on standard error: one line per transaction, or, on a terminal, one line updated in place
// with the failures kept above it.
#pragma once

#include <cstdio>

#include "runner/CardMasking.h"
#include "runner/RunResult.h"

class CProgressPrinter {
public:
    CProgressPrinter(std::FILE* out, bool bTerminal, const CCardMasker& mask)
        : m_out(out), m_bTerminal(bTerminal), m_mask(mask) {}

    void Transaction(const SScriptResult& script, const STransactionResult& t, int nTotal);
    // What the script reader reported, and scripts that could not be run.
    void ScriptProblems(const SScriptResult& script);
    void Finish(int nTotal, int nFailed, double dSeconds);

private:
    void ClearLine();

    std::FILE* m_out;
    bool m_bTerminal;
    const CCardMasker& m_mask;
    bool m_bLineOpen = false; // a terminal progress line is showing
    CString m_fields, m_line;
};
