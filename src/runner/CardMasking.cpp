// Card data masking in one pass over the text.
#include "runner/CardMasking.h"

#include <algorithm>
#include <cstring>

namespace {

enum class EField { eOther, eAccount, eReplaced };

struct SCardField {
    std::string_view name;
    EField field;
};

constexpr SCardField kCardFields[] = {
    {"AcctNo", EField::eAccount},  {"AccountNo", EField::eAccount},  {"CardNumber", EField::eAccount},
    {"PAN", EField::eAccount},     {"Track1", EField::eReplaced},    {"Track2", EField::eReplaced},
    {"Track3", EField::eReplaced}, {"TrackData", EField::eReplaced}, {"CVV", EField::eReplaced},
    {"CVV2", EField::eReplaced},   {"CVVData", EField::eReplaced},   {"CVC", EField::eReplaced},
    {"CVC2", EField::eReplaced},   {"CID", EField::eReplaced},
};

// Whether a name may be one of those, by its first two letters: most tags are passed over at the
// cost of a look at them, without reading their names to the end.
bool MayNameCardField(char first, char second) {
    return std::any_of(std::begin(kCardFields), std::end(kCardFields),
                       [&](const SCardField& f) { return f.name[0] == first && f.name[1] == second; });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsNameEnd(char c) {
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool PassesLuhn(std::string_view digits) {
    int sum = 0;
    bool twice = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, twice = !twice) {
        int d = *it - '0';
        if (twice && (d *= 2) > 9)
            d -= 9;
        sum += d;
    }
    return sum % 10 == 0;
}

// The masked copy of a text, made only once something in it has to change: most texts hold no card
// data and are never copied.
class CMaskedCopy {
public:
    CMaskedCopy(std::string_view text, CString& out) : m_text(text), m_out(out) {}

    void Replace(std::size_t from, std::size_t to, std::string_view replacement) {
        if (!m_bChanged)
            m_out.reserve(m_text.size());
        m_out.append(m_text.substr(m_nCopied, from - m_nCopied)).append(replacement);
        m_nCopied = to;
        m_bChanged = true;
    }
    // True when the text changed; out then holds all of it.
    bool Finish() {
        if (m_bChanged)
            m_out.append(m_text.substr(m_nCopied));
        return m_bChanged;
    }

private:
    std::string_view m_text;
    CString& m_out;
    std::size_t m_nCopied = 0; // text before this is in out
    bool m_bChanged = false;
};

// Free text from pos: a run of digits that is a card number (13 to 19 digits passing the check digit)
// or the account part of track data (12 to 19 digits, then '=' or '^') is replaced. Returns where the
// run (or the track) ends.
std::size_t MaskDigitRun(std::string_view text, std::size_t pos, CMaskedCopy& copy) {
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    const std::size_t length = end - pos;
    if (length < 12)
        return end; // far too short for anything
    const bool trackAccount = length <= 19 && end < text.size() && (text[end] == '=' || text[end] == '^');
    if (trackAccount) {
        // The rest of the track to its end sentinel: digits and separators on track 2, the name and
        // data fields on track 1.
        if (text[end] == '=')
            while (end < text.size() && (IsDigit(text[end]) || text[end] == '='))
                ++end;
        else
            while (end < text.size() && text[end] != '?' && text[end] != '<' && text[end] != '\n')
                ++end;
        if (end < text.size() && text[end] == '?')
            ++end;
        copy.Replace(pos, end, CCardMasker::kReplaced);
    } else if (length >= 13 && length <= 19 && PassesLuhn(text.substr(pos, length))) {
        copy.Replace(pos, end, CCardMasker::MaskAccount(text.substr(pos, length)));
    }
    return end;
}

// The element whose opening tag starts at text[pos] ('<'): when it is a card field, its text is
// masked by the element's name. Returns where the scan goes on.
std::size_t MaskCardField(std::string_view text, std::size_t pos, CMaskedCopy& copy) {
    std::size_t nameEnd = pos + 1;
    while (nameEnd < text.size() && !IsNameEnd(text[nameEnd]))
        ++nameEnd;
    const std::string_view name = text.substr(pos + 1, nameEnd - pos - 1);
    const auto* found = std::find_if(std::begin(kCardFields), std::end(kCardFields),
                                     [name](const SCardField& f) { return f.name == name; });
    const EField field = found == std::end(kCardFields) ? EField::eOther : found->field;
    const std::size_t tagEnd = field == EField::eOther ? std::string_view::npos : text.find('>', nameEnd);
    if (tagEnd == std::string_view::npos || text[tagEnd - 1] == '/')
        return pos + 1; // anything else is scanned like free text
    const std::size_t valueStart = tagEnd + 1;
    const std::size_t valueEnd = std::min(text.find('<', valueStart), text.size());
    const std::string_view value = text.substr(valueStart, valueEnd - valueStart);
    if (field == EField::eAccount) {
        if (const CString masked = CCardMasker::MaskAccount(value); masked != value)
            copy.Replace(valueStart, valueEnd, masked);
    } else if (!value.empty()) {
        copy.Replace(valueStart, valueEnd, CCardMasker::kReplaced);
    }
    return valueEnd;
}

// Masks the card numbers and track data in text[from, to), which holds no '<'. Only runs of 12 digits
// and more matter, so the scan looks at every twelfth byte and at the digits around a digit it meets.
void MaskDigitRuns(std::string_view text, std::size_t from, std::size_t to, CMaskedCopy& copy) {
    constexpr std::size_t kShortest = 12;
    std::size_t pos = from; // text[pos - 1] is never a digit of a run still to scan
    while (to - pos >= kShortest) {
        const std::size_t probe = pos + kShortest - 1;
        if (!IsDigit(text[probe])) {
            pos = probe + 1;
            continue;
        }
        std::size_t start = probe;
        while (start > pos && IsDigit(text[start - 1]))
            --start;
        pos = MaskDigitRun(text, start, copy);
    }
}

// Appends the masked text to out and returns true, or returns false when nothing in it is card data.
bool Mask(std::string_view text, CString& out) {
    CMaskedCopy copy(text, out);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const void* found = std::memchr(text.data() + pos, '<', text.size() - pos);
        const std::size_t tag =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
        MaskDigitRuns(text, pos, tag, copy);
        if (tag == text.size())
            break;
        if (tag + 2 < text.size() && MayNameCardField(text[tag + 1], text[tag + 2]))
            pos = MaskCardField(text, tag, copy);
        else
            pos = tag + 1; // a tag of no card field
    }
    return copy.Finish();
}

} // namespace

CString CCardMasker::MaskAccount(std::string_view account) {
    const auto digits = static_cast<std::size_t>(std::count_if(account.begin(), account.end(), IsDigit));
    const std::size_t head = digits >= 13 ? 6 : 0;
    const std::size_t tail = std::min<std::size_t>(4, digits);
    CString masked(account);
    std::size_t seen = 0;
    for (char& c : masked)
        if (IsDigit(c)) {
            if (seen >= head && seen < digits - tail)
                c = 'X';
            ++seen;
        }
    return masked;
}

CString CCardMasker::operator()(std::string_view text) const {
    CString out;
    if (m_bEnabled && Mask(text, out))
        return out;
    return CString(text);
}

void CCardMasker::MaskInPlace(CString& text) const {
    CString out;
    if (m_bEnabled && Mask(text, out))
        text = std::move(out);
}

void MaskTransaction(STransactionResult& t, const CCardMasker& mask) {
    for (CString* text :
         {&t.strName, &t.strTranCode, &t.strRequest, &t.strResponse, &t.strCmdStatus, &t.strError})
        mask.MaskInPlace(*text);
    for (SCheckResult& check : t.checks)
        for (CString* text : {&check.strCheck, &check.strField, &check.strExpected, &check.strActual})
            mask.MaskInPlace(*text);
    for (SDifference& d : t.differences)
        for (CString* text : {&d.strPath, &d.strExpected, &d.strActual})
            mask.MaskInPlace(*text);
}

void MaskScript(SScriptResult& script, const CCardMasker& mask) {
    mask.MaskInPlace(script.strPath);
    mask.MaskInPlace(script.strName);
    for (CString& problem : script.arrProblems)
        mask.MaskInPlace(problem);
}
