// libFuzzer target: any bytes as a response through the scan, checked against a plain reading of the
// same rules built from std::string::find and substr.
#include "controls/ResponseScanner.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The rest of text after the tag at pos, less at most skip blanks, TABs, CRs or LFs.
std::string After(const std::string& text, std::size_t pos, const std::string& tag, std::size_t skip) {
    std::size_t start = pos + tag.size();
    while (skip-- > 0 && start < text.size() && std::string(" \t\r\n").find(text[start]) != std::string::npos)
        ++start;
    return text.substr(start);
}

void Field(const std::string& section, const std::string& name, std::string& field) {
    const std::size_t open = section.find("<" + name + ">"), close = section.find("</" + name + ">");
    if (open == std::string::npos || close == std::string::npos)
        return;
    const std::size_t from = open + name.size() + 2;
    field = close > from ? section.substr(from, close - from) : std::string();
}

struct SReference {
    std::string message, origin, status, text, trace, authCode, refNo, memo;
    bool ok = false, success = false, error = false, tran = false;

    void Scan(const std::string& doc) {
        const std::size_t stream = doc.find("<RStream>");
        if (stream == std::string::npos)
            return void(message = "No XML Response or <RStream> in XML");
        const std::string rest = After(doc, stream, "<RStream>", 1);
        const std::size_t cmd = rest.find("<CmdResponse>");
        if (cmd == std::string::npos)
            return void(message = "No <CmdResponse> in XML");
        const std::string command = After(rest, cmd, "<CmdResponse>", 2);
        Field(command, "ResponseOrigin", origin);
        Field(command, "CmdStatus", status);
        Field(command, "TextResponse", text);
        Field(command, "UserTraceData", trace);
        if (status.empty())
            return void(message = "No <CmdStatus> in Response XML");
        success = status == "S" || status == "Success" || status == "A" || status == "Approved";
        error = !success && status != "D" && status != "Declined";
        const std::size_t end = command.find("</CmdResponse>");
        if (end == std::string::npos)
            return void(message = "No </CmdResponse> in Response XML");
        const std::string trailing = After(command, end, "</CmdResponse>", 2);
        ok = true;
        const std::size_t tranPos = trailing.find("<TranResponse>");
        if (tranPos == std::string::npos)
            return;
        tran = true;
        const std::string part = After(trailing, tranPos, "<TranResponse>", 2);
        Field(part, "AuthCode", authCode);
        Field(part, "RefNo", refNo);
        Field(part, "UserTraceData", trace);
        Field(part, "Memo", memo);
        if (status == "Approved")
            success = true;
        else if (origin != "Processor")
            error = true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CParsedResponse r;
    std::string message;
    int reports = 0;
    const bool ok = ScanResponse(text, r, [&](const CString& m) {
        message = m;
        ++reports;
    });

    SReference ref;
    ref.Scan(std::string(text));
    Check(ok == ref.ok && reports == (ok ? 0 : 1) && message == ref.message);
    Check(r.m_bSuccess == ref.success && r.m_bError == ref.error && r.m_bTranResponse == ref.tran);
    Check(r.m_strResponseOrigin == ref.origin && r.m_strCmdStatus == ref.status &&
          r.m_strTextResponse == ref.text);
    Check(r.m_strUserTraceData == ref.trace && r.m_strAuthCode == ref.authCode && r.m_strRefNo == ref.refNo &&
          r.m_strMemo == ref.memo);
    return 0;
}
