// Card data of a request and the card rules of the simulators.
#include "sim/SimCard.h"

#include "sim/SimText.h"

namespace tvxsim {

namespace {

bool ValidExpiry(std::string_view mmyy) {
    if (mmyy.size() != 4 || !IsDigits(mmyy))
        return false;
    int month = (mmyy[0] - '0') * 10 + (mmyy[1] - '0');
    return month >= 1 && month <= 12;
}

// The number formed by the first count digits of an account.
int LeadingNumber(std::string_view account, std::size_t count) {
    int value = 0;
    for (char c : account.substr(0, count))
        value = value * 10 + (c - '0');
    return value;
}

bool ValidAccountLength(std::string_view account) {
    return IsDigits(account) && account.size() >= 12 && account.size() <= 19;
}

} // namespace

bool LuhnValid(std::string_view digits) {
    int sum = 0;
    bool twice = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int d = *it - '0';
        if (twice && (d *= 2) > 9)
            d -= 9;
        sum += d;
        twice = !twice;
    }
    return !digits.empty() && sum % 10 == 0;
}

std::string CardTypeOf(std::string_view account, bool prepaid) {
    if (prepaid)
        return "GIFT";
    auto starts = [&](std::string_view prefix) { return account.substr(0, prefix.size()) == prefix; };
    int two = account.size() >= 2 ? LeadingNumber(account, 2) : 0;
    int four = account.size() >= 4 ? LeadingNumber(account, 4) : 0;
    if (starts("4"))
        return "VISA";
    if ((two >= 51 && two <= 55) || (four >= 2221 && four <= 2720))
        return "M/C";
    if (starts("34") || starts("37"))
        return "AMEX";
    if (starts("6011") || starts("65"))
        return "DCVR";
    return "OTHER";
}

std::string MaskAccount(std::string_view account) {
    return "XXXX" + std::string(account.substr(account.size() >= 4 ? account.size() - 4 : 0));
}

bool HasCard(const CSimRequest& request) {
    return request.Has("Track2") || request.Has("AcctNo");
}

SSimCard ReadCard(const CSimRequest& request, bool prepaid) {
    SSimCard card;
    if (request.Has("Track2")) {
        // ;PAN=YYMM<service code and discretionary data>?
        std::string_view t = request.Get("Track2");
        if (!t.empty() && t.front() == ';')
            t.remove_prefix(1);
        if (!t.empty() && t.back() == '?')
            t.remove_suffix(1);
        std::size_t sep = t.find('=');
        if (sep == std::string_view::npos || !ValidAccountLength(t.substr(0, sep)) || t.size() < sep + 5)
            RejectClient(rc::kInvalidField, "Invalid Track2");
        std::string_view yymm = t.substr(sep + 1, 4);
        std::string mmyy = std::string(yymm.substr(2, 2)) + std::string(yymm.substr(0, 2));
        if (!ValidExpiry(mmyy))
            RejectClient(rc::kInvalidField, "Invalid Track2: bad expiry");
        card.strAccount = t.substr(0, sep);
        card.strExpDate = mmyy;
    } else {
        card.strAccount = request.Get("AcctNo");
        if (card.strAccount.empty())
            RejectClient(rc::kMissingField, "Missing AcctNo or Track2");
        if (!ValidAccountLength(card.strAccount))
            RejectClient(rc::kInvalidField, "Invalid AcctNo: 12 to 19 digits expected");
        card.strExpDate = std::string(request.Get("ExpDate"));
        if (card.strExpDate.empty() && !prepaid)
            RejectClient(rc::kMissingField, "Missing ExpDate");
        if (!card.strExpDate.empty() && !ValidExpiry(card.strExpDate))
            RejectClient(rc::kInvalidField, "Invalid ExpDate: MMYY expected");
    }
    if (!prepaid && !LuhnValid(card.strAccount))
        RejectClient(rc::kInvalidField, "Invalid AcctNo: check digit fails");
    return card;
}

} // namespace tvxsim
