// Hides card data in text that leaves the machine as reports or console output: account numbers keep
// at most their first 6 and last 4 digits, track data and card verification values are replaced.
// Works on any text: XML elements by name, and card numbers and track data found in free text.
#pragma once

#include <string_view>

#include "platform/MfcTypes.h"
#include "runner/RunResult.h"

class CCardMasker {
public:
    static constexpr const char* kReplaced = "[masked]";

    explicit CCardMasker(bool bEnabled = true) : m_bEnabled(bEnabled) {}

    // The text unchanged when masking is off.
    CString operator()(std::string_view text) const;
    // The same, in place: a text without card data is left as it is, uncopied.
    void MaskInPlace(CString& text) const;

    // An account number's digits past the first 6 (numbers of 13 digits and more) and before the last
    // 4 become 'X'; other characters stay.
    static CString MaskAccount(std::string_view account);

private:
    bool m_bEnabled;
};

// Mask every text of a transaction's result, or a script's own texts (not its transactions), in
// place, before they leave as reports. Each text is masked once: masking a masked account again
// would hide its first digits too.
void MaskTransaction(STransactionResult& t, const CCardMasker& mask);
void MaskScript(SScriptResult& script, const CCardMasker& mask);
