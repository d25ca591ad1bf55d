// The RStream answer of a simulated component and the writer of its CR LF, TAB-indented layout.
#pragma once

#include <boost/container/small_vector.hpp>

#include <string>
#include <string_view>

namespace tvxsim {

// Writes elements one per line, CR LF after every line (container tags included), one TAB per
// level, text escaped.
class CSimXmlWriter {
public:
    // A document, starting with the XML declaration.
    CSimXmlWriter();
    // A fragment without declaration, indented for a place depth levels down in a document.
    explicit CSimXmlWriter(std::size_t depth);

    void Open(std::string_view name);
    void Close(); // closes the innermost element this writer opened, if any
    void Leaf(std::string_view name, std::string_view value);
    void Append(std::string_view xml) { m_strOut.append(xml); }
    void Reserve(std::size_t bytes) { m_strOut.reserve(bytes); }

    bool AllClosed() const { return m_arrOpen.empty(); }
    const std::string& Text() const { return m_strOut; }
    std::string Take(); // closes what is still open

private:
    void Indent();
    std::string m_strOut;
    std::size_t m_nDepth = 0;
    boost::container::small_vector<std::string, 4> m_arrOpen; // answers nest three deep at most
};

// Origins and statuses the simulators answer with.
inline constexpr const char* kOriginProcessor = "Processor";
inline constexpr const char* kOriginClient = "Client";
inline constexpr const char* kOriginServer = "Server";
inline constexpr const char* kStatusApproved = "Approved";
inline constexpr const char* kStatusDeclined = "Declined";
inline constexpr const char* kStatusSuccess = "Success";
inline constexpr const char* kStatusError = "Error";

// KVTXReturnCode values.
namespace rc {
inline constexpr const char* kOk = "000000";
inline constexpr const char* kDeclined = "001001";
inline constexpr const char* kEmptyRequest = "004001";
inline constexpr const char* kTooLarge = "004002";
inline constexpr const char* kMalformed = "004003";
inline constexpr const char* kLayout = "004004";
inline constexpr const char* kMissingField = "004005";
inline constexpr const char* kInvalidField = "004006";
inline constexpr const char* kUnknownCode = "004007";
inline constexpr const char* kUnsupported = "004008";
inline constexpr const char* kBadArgument = "004009";
inline constexpr const char* kNoRecord = "005001";
inline constexpr const char* kMismatch = "005002";
inline constexpr const char* kWrongState = "005003";
inline constexpr const char* kCapacity = "005004";
inline constexpr const char* kUnreachable = "005005";
} // namespace rc

// A response: the CmdResponse part, then an optional body (TranResponse, AdminResponse or
// DeviceResponse) built field by field in answer order.
class CSimResponse {
public:
    CSimResponse(std::string origin, std::string returnCode, std::string status, std::string text);
    static CSimResponse Error(std::string origin, std::string returnCode, std::string text);

    void SetUserTrace(std::string trace) { m_strUserTrace = std::move(trace); }
    void SetBody(std::string name);
    void Add(std::string_view name, std::string_view value);
    void AddIfAny(std::string_view name, std::string_view value);
    void Begin(std::string_view name); // a group inside the body
    void End();                        // closes the last group; never the body itself

    const std::string& Status() const { return m_strStatus; }
    const std::string& Text() const { return m_strText; }
    std::string ToXml() const;

private:
    std::string m_strOrigin, m_strReturnCode, m_strStatus, m_strText, m_strUserTrace, m_strBody;
    CSimXmlWriter m_items; // the body's elements, written as they are added
};

} // namespace tvxsim
