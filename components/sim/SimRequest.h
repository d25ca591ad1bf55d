// A request document taken apart: its block kind and the first value of every element name in it.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "sim/SimResponse.h"

namespace tvxsim {

// Thrown inside the simulators to stop a request with a finished answer (an error or a decline).
struct CSimReject {
    CSimResponse response;
};

// Requests beyond this size are refused before parsing.
inline constexpr std::size_t kMaxRequestBytes = 1024 * 1024;

class CSimRequest {
public:
    // Parses a TStream document holding exactly one Transaction, Admin or Corvane block; throws
    // CSimReject (origin "Client") when the text is empty, too large, not XML or laid out otherwise.
    static CSimRequest Parse(std::string_view text);

    const std::string& Block() const { return m_strBlock; }

    // Element values are trimmed; an empty element counts as absent. Lookups take the first
    // element of that name anywhere in the block, as the window does.
    bool Has(const std::string& name) const;
    std::string Get(const std::string& name) const;

    // Like Get, but a missing value stops the request with a "Client" error naming the field.
    std::string Require(const std::string& name) const;

private:
    std::string m_strBlock;
    std::map<std::string, std::string> m_mapFields;
};

// Shorthand for the rejections every part raises.
[[noreturn]] void RejectClient(const char* returnCode, std::string text);
[[noreturn]] void RejectServer(const char* returnCode, std::string text);

} // namespace tvxsim
