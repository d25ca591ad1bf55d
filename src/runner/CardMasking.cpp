// Card data masking in one pass over the text.
#include "runner/CardMasking.h"

#include <algorithm>
#include <cstring>

namespace {

enum class EField { eOther, eAccount, eReplaced };

constexpr std::string_view kAccountElements[] = {"AcctNo", "AccountNo", "CardNumber", "PAN"};
constexpr std::string_view kReplacedElements[] = {"Track1", "Track2",  "Track3", "TrackData", "CVV",
                                                  "CVV2",   "CVVData", "CVC",    "CVC2",      "CID"};

EField FieldOf(std::string_view name) {
    if (name.empty() || (name[0] != 'A' && name[0] != 'C' && name[0] != 'P' && name[0] != 'T'))
        return EField::eOther; // most names, at the cost of one comparison
    if (std::find(std::begin(kAccountElements), std::end(kAccountElements), name) !=
        std::end(kAccountElements))
        return EField::eAccount;
    if (std::find(std::begin(kReplacedElements), std::end(kReplacedElements), name) !=
        std::end(kReplacedElements))
        return EField::eReplaced;
    return EField::eOther;
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

// Free text from pos: a run of digits that is a card number (13 to 19 digits passing the check digit)
// or the account part of track data (12 to 19 digits, then '=' or '^'). Appends what replaces it
// and returns the length consumed, or 0 when the run is nothing of the kind.
std::size_t MaskDigitRun(std::string_view text, std::size_t pos, CString& out) {
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    const std::size_t length = end - pos;
    const bool trackAccount =
        length >= 12 && length <= 19 && end < text.size() && (text[end] == '=' || text[end] == '^');
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
        out += CCardMasker::kReplaced;
        return end - pos;
    }
    if (length >= 13 && length <= 19 && PassesLuhn(text.substr(pos, length))) {
        out += CCardMasker::MaskAccount(text.substr(pos, length));
        return length;
    }
    out.append(text.substr(pos, length));
    return length;
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
    if (!m_bEnabled)
        return CString(text);
    CString out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != '<' && !IsDigit(text[pos]))
            ++pos;
        out.append(text.data() + start, pos - start);
        if (pos == text.size())
            break;
        if (IsDigit(text[pos])) {
            pos += MaskDigitRun(text, pos, out);
            continue;
        }
        // An opening tag of a card field: its text is masked by the element's name.
        std::size_t nameEnd = pos + 1;
        while (nameEnd < text.size() && !IsNameEnd(text[nameEnd]))
            ++nameEnd;
        const EField field = FieldOf(text.substr(pos + 1, nameEnd - pos - 1));
        const std::size_t tagEnd = field == EField::eOther ? std::string_view::npos : text.find('>', nameEnd);
        if (tagEnd == std::string_view::npos || text[tagEnd - 1] == '/') {
            out += '<'; // anything else is scanned like free text
            ++pos;
            continue;
        }
        out.append(text.substr(pos, tagEnd + 1 - pos));
        pos = tagEnd + 1;
        const std::size_t valueEnd = std::min(text.find('<', pos), text.size());
        const std::string_view value = text.substr(pos, valueEnd - pos);
        if (field == EField::eAccount)
            out += MaskAccount(value);
        else if (!value.empty())
            out += kReplaced;
        pos = valueEnd;
    }
    return out;
}

void MaskResults(std::vector<SScriptResult>& scripts, const CCardMasker& mask) {
    const auto apply = [&mask](CString& text) { text = mask(text); };
    for (SScriptResult& script : scripts) {
        apply(script.strPath);
        apply(script.strName);
        std::for_each(script.arrProblems.begin(), script.arrProblems.end(), apply);
        for (STransactionResult& t : script.transactions) {
            for (CString* text :
                 {&t.strName, &t.strTranCode, &t.strRequest, &t.strResponse, &t.strCmdStatus, &t.strError})
                apply(*text);
            for (SCheckResult& check : t.checks)
                for (CString* text : {&check.strCheck, &check.strField, &check.strExpected, &check.strActual})
                    apply(*text);
            for (SDifference& d : t.differences)
                for (CString* text : {&d.strPath, &d.strExpected, &d.strActual})
                    apply(*text);
        }
    }
}
