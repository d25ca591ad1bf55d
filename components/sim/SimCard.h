// Card data of a request: account number and expiry from AcctNo/ExpDate or a Track2, and the
// card rules (check digit, card type, masking).
#pragma once

#include <string>
#include <string_view>

#include "sim/SimRequest.h"

namespace tvxsim {

struct SSimCard {
    std::string_view strAccount; // all digits; a view into the request
    std::string strExpDate;      // MMYY, empty when not given
};

bool LuhnValid(std::string_view digits);
std::string CardTypeOf(std::string_view account, bool prepaid);
std::string MaskAccount(std::string_view account);

// Reads the card of a request. Track2 wins over AcctNo. Credit accounts need a valid check digit
// and, when keyed, an ExpDate; gift (prepaid) accounts need neither. Bad values stop the request
// with a "Client" error.
SSimCard ReadCard(const CSimRequest& request, bool prepaid);

// True when a request names a card at all.
bool HasCard(const CSimRequest& request);

} // namespace tvxsim
