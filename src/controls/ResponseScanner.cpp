// The response scan: fixed tags found as exact text, fields copied verbatim from between them.
#include "controls/ResponseScanner.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The text after a tag found at pos, less the line break laid out after it: at most maxSkip
// characters, and only blanks, TABs, CRs and LFs, so a response written on one line loses nothing.
std::string_view After(std::string_view text, std::size_t pos, std::string_view tag, std::size_t maxSkip) {
    std::size_t start = pos + tag.size();
    for (std::size_t skipped = 0; skipped < maxSkip && start < text.size(); ++skipped, ++start) {
        const char c = text[start];
        if (c != '\r' && c != '\n' && c != ' ' && c != '\t')
            break;
    }
    return text.substr(start);
}

// The field rule: both tags searched from the start of the section; a closing tag before the
// opening one gives the empty text; a missing tag leaves the field as it was.
void ReadField(std::string_view section, std::string_view open, std::string_view close, CString& field) {
    const std::size_t openPos = section.find(open);
    if (openPos == npos)
        return;
    const std::size_t closePos = section.find(close);
    if (closePos == npos)
        return;
    const std::size_t valuePos = openPos + open.size();
    field = closePos > valuePos ? CString(section.substr(valuePos, closePos - valuePos)) : CString();
}

struct SField {
    std::string_view open, close;
    CString CParsedResponse::*member;
};

#define TVX_FIELD(name, member)                                                                              \
    { "<" name ">", "</" name ">", &CParsedResponse::member }

constexpr SField kCommandFields[] = {
    TVX_FIELD("ResponseOrigin", m_strResponseOrigin), TVX_FIELD("KVTXReturnCode", m_strReturnCode),
    TVX_FIELD("CmdStatus", m_strCmdStatus),           TVX_FIELD("TextResponse", m_strTextResponse),
    TVX_FIELD("UserTraceData", m_strUserTraceData),
};

constexpr SField kTranFields[] = {
    TVX_FIELD("MerchantID", m_strMerchantID),
    TVX_FIELD("TerminalID", m_strTerminalID),
    TVX_FIELD("OperatorID", m_strOperatorID),
    TVX_FIELD("TranCode", m_strTranCode),
    TVX_FIELD("AcctNo", m_strAcctNo),
    TVX_FIELD("ExpDate", m_strExpDate),
    TVX_FIELD("CardType", m_strCardType),
    TVX_FIELD("AuthCode", m_strAuthCode),
    TVX_FIELD("CaptureStatus", m_strCaptureStatus),
    TVX_FIELD("RefNo", m_strRefNo),
    TVX_FIELD("UserTraceData", m_strUserTraceData),
    TVX_FIELD("AVSResult", m_strAVSResult),
    TVX_FIELD("Memo", m_strMemo),
};

#undef TVX_FIELD

template <std::size_t N>
void ReadFields(std::string_view section, const SField (&fields)[N], CParsedResponse& r) {
    for (const SField& field : fields)
        ReadField(section, field.open, field.close, r.*field.member);
}

constexpr std::string_view kRStream = "<RStream>";
constexpr std::string_view kCmdResponse = "<CmdResponse>";
constexpr std::string_view kCmdResponseEnd = "</CmdResponse>";
constexpr std::string_view kTranResponse = "<TranResponse>";

bool Fail(const ScanReport& report, const char* message) {
    if (report)
        report(message);
    return false;
}

} // namespace

void CParsedResponse::Clear() {
    *this = CParsedResponse();
}

bool ScanResponse(std::string_view text, CParsedResponse& r, const ScanReport& report) {
    r.Clear();

    const std::size_t streamPos = text.find(kRStream);
    if (streamPos == npos)
        return Fail(report, "No XML Response or <RStream> in XML");
    const std::string_view stream = After(text, streamPos, kRStream, 1);

    const std::size_t cmdPos = stream.find(kCmdResponse);
    if (cmdPos == npos)
        return Fail(report, "No <CmdResponse> in XML");
    // Runs to the end of the document, past </CmdResponse>.
    const std::string_view command = After(stream, cmdPos, kCmdResponse, 2);

    ReadFields(command, kCommandFields, r);
    if (r.m_strCmdStatus.empty())
        return Fail(report, "No <CmdStatus> in Response XML");

    const CString& status = r.m_strCmdStatus;
    if (status == "S" || status == "Success" || status == "A" || status == "Approved")
        r.m_bSuccess = true;
    else if (status != "D" && status != "Declined")
        r.m_bError = true;

    const std::size_t cmdEndPos = command.find(kCmdResponseEnd);
    if (cmdEndPos == npos)
        return Fail(report, "No </CmdResponse> in Response XML");
    const std::string_view trailing = After(command, cmdEndPos, kCmdResponseEnd, 2);

    const std::size_t tranPos = trailing.find(kTranResponse);
    if (tranPos == npos)
        return true; // an administrative answer ends here

    r.m_bTranResponse = true;
    ReadFields(After(trailing, tranPos, kTranResponse, 2), kTranFields, r);

    // A transaction answer succeeds only when approved; anything else is an error unless the
    // processor itself gave it.
    if (status == "Approved")
        r.m_bSuccess = true;
    else if (r.m_strResponseOrigin != "Processor")
        r.m_bError = true;
    return true;
}
