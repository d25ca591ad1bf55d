// Card data masking in one pass over the text.
#include "runner/CardMasking.h"

#include <algorithm>
#include <cstring>

namespace {

enum class EField { eOther, eAccount, eReplaced };

constexpr std::string_view kAccountElements[] = {"AcctNo", "AccountNo", "CardNumber", "PAN"};
constexpr std::string_view kReplacedElements[] = {"Track1", "Track2", "Track3", "TrackData", "CVV",
                                                  "CVV2",   "CVVData", "CVC",   "CVC2",      "CID"};

EField FieldOf(std::string_view name) {
    if (std::find(std::begin(kAccountElements), std::end(kAccountElements), name) != std::end(kAccountElements))
        return EField::eAccount;
    if (std::find(std::begin(kReplacedElements), std::end(kReplacedElements), name) != std::end(kReplacedElements))
        return EField::eReplaced;
    return EField::eOther;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
    const bool trackAccount = length >= 12 && length <= 19 && end < text.size() && (text[end] == '=' || text[end] == '^');
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
        const char c = text[pos];
        if (IsDigit(c) && (pos == 0 || !IsDigit(text[pos - 1]))) {
            pos += MaskDigitRun(text, pos, out);
            continue;
        }
        if (c != '<') {
            out += c;
            ++pos;
            continue;
        }
        // An element's opening tag: its text is masked by the element's name.
        const std::size_t nameEnd = text.find_first_of("> \t\r\n/", pos + 1);
        const std::size_t tagEnd = text.find('>', pos);
        if (nameEnd == std::string_view::npos || tagEnd == std::string_view::npos || text[tagEnd - 1] == '/') {
            out += c;
            ++pos;
            continue;
        }
        const EField field = FieldOf(text.substr(pos + 1, nameEnd - pos - 1));
        out.append(text.substr(pos, tagEnd + 1 - pos));
        pos = tagEnd + 1;
        if (field == EField::eOther)
            continue;
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
