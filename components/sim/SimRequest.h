// A request document taken apart: its block kind and the elements in it, found by name.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <vector>

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
    explicit CSimRequest(std::string_view text);
    // Names and values are views into the parsed document, which lives as long as the request.
    CSimRequest(const CSimRequest&) = delete;
    CSimRequest& operator=(const CSimRequest&) = delete;

    std::string_view Block() const { return m_strBlock; }

    // Element values are trimmed; an empty element counts as absent. Lookups take the first
    // element of that name anywhere in the block, as the window does.
    bool Has(std::string_view name) const;
    std::string_view Get(std::string_view name) const;

    // Like Get, but a missing value stops the request with a "Client" error naming the field.
    std::string_view Require(std::string_view name) const;

    struct SField {
        std::string_view name, value;
    };

private:
    const SField* Find(std::string_view name) const;

    pugi::xml_document m_doc;
    std::string_view m_strBlock;
    std::vector<SField> m_arrFields; // document order, repeats kept: the first one counts
};

// Shorthand for the rejections every part raises.
[[noreturn]] void RejectClient(const char* returnCode, std::string text);
[[noreturn]] void RejectServer(const char* returnCode, std::string text);

} // namespace tvxsim
