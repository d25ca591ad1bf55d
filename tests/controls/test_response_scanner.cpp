// The response scan: outcomes in every layout, the four missing-part reports, exact tags, verbatim
// values and every truncation of a valid response.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "controls/ResponseScanner.h"

namespace {

// A response laid out as the components write it (CR LF after each line, TAB indents), with LF line
// ends, or on one line (eol empty).
std::string Response(const std::string& status, const std::string& origin, const std::string& tranFields = {},
                     const std::string& text = "Done", const std::string& eol = "\r\n") {
    const std::string tab = eol == "\r\n" ? "\t" : "";
    std::string out = "<?xml version=\"1.0\"?>" + eol + "<RStream>" + eol + tab + "<CmdResponse>" + eol;
    for (const auto& [name, value] : {std::pair<const char*, std::string>{"ResponseOrigin", origin},
                                      {"KVTXReturnCode", "000000"},
                                      {"CmdStatus", status},
                                      {"TextResponse", text},
                                      {"UserTraceData", "cmd"}})
        out += tab + tab + "<" + name + ">" + value + "</" + name + ">" + eol;
    out += tab + "</CmdResponse>" + eol;
    if (!tranFields.empty())
        out += tab + "<TranResponse>" + eol + tranFields + tab + "</TranResponse>" + eol;
    return out + "</RStream>" + eol;
}

std::string Tran(const std::string& eol = "\r\n") {
    const std::string tabs = eol == "\r\n" ? "\t\t" : "";
    return tabs + "<AuthCode>A1B2C3</AuthCode>" + eol + tabs + "<RefNo>0042</RefNo>" + eol + tabs +
           "<CaptureStatus>Captured</CaptureStatus>" + eol + tabs + "<Memo>m</Memo>" + eol;
}

struct Scan {
    bool ok;
    std::vector<CString> reports;
    CParsedResponse r;
};

// Scans text into a record that holds an earlier scan, as the dialog's does: none of it may remain.
Scan ScanText(std::string_view text) {
    Scan scan;
    ScanResponse(Response("Approved", "Server", Tran()), scan.r, nullptr);
    scan.ok = ScanResponse(text, scan.r, [&](const CString& m) { scan.reports.push_back(m); });
    return scan;
}

// Status, transaction part, origin -> success, error.
TEST(ResponseScanner, OutcomeTable) {
    const std::tuple<const char*, bool, const char*, bool, bool> rows[] = {
        {"S", false, "Client", true, false},
        {"Success", false, "Server", true, false},
        {"A", false, "Client", true, false},
        {"Approved", false, "Client", true, false},
        {"D", false, "Client", false, false},
        {"Declined", false, "Processor", false, false},
        {"Error", false, "Processor", false, true},
        {"success", false, "Client", false, true},
        {"Approved", true, "Client", true, false},
        {"S", true, "Processor", true, false},
        {"A", true, "Server", true, true},
        {"Declined", true, "Processor", false, false},
        {"Declined", true, "Client", false, true},
        {"Error", true, "Processor", false, true},
        {"approved", true, "Processor", false, true},
    };
    // In every layout: only white space after a container tag is skipped, no more than a line break.
    for (const auto& [status, tran, origin, success, error] : rows)
        for (const char* eol : {"\r\n", "\n", ""}) {
            SCOPED_TRACE(std::string(status) + (tran ? " tran " : " cmd ") + origin +
                         (*eol ? "" : " compact"));
            Scan scan = ScanText(Response(status, origin, tran ? Tran(eol) : "", "Done", eol));
            EXPECT_TRUE(scan.ok && scan.reports.empty());
            EXPECT_EQ(std::tie(scan.r.m_bSuccess, scan.r.m_bError, scan.r.m_bTranResponse),
                      std::tie(success, error, tran));
            EXPECT_EQ(scan.r.m_strCmdStatus, status);
            EXPECT_EQ(scan.r.m_strResponseOrigin, origin);
            EXPECT_EQ(scan.r.m_strRefNo, tran ? "0042" : "");
        }
}

// Text -> the one report, and the status, success and error the record holds afterwards.
TEST(ResponseScanner, MissingPartsAreReportedAndKeepWhatWasRead) {
    const std::tuple<std::string, const char*, const char*, bool, bool> rows[] = {
        {"", "No XML Response or <RStream> in XML", "", false, false},
        {"<rstream>\r\n<CmdResponse>", "No XML Response or <RStream> in XML", "", false, false},
        {"<RStream>\r\n<TranResponse>", "No <CmdResponse> in XML", "", false, false},
        {"<RStream>\r\n<CmdResponse>\r\n<cmdstatus>S</cmdstatus>", "No <CmdStatus> in Response XML", "",
         false, false},
        {"<RStream>\r\n<CmdResponse>\r\n<CmdStatus></CmdStatus></CmdResponse>",
         "No <CmdStatus> in Response XML", "", false, false},
        {"<RStream>\r\n<CmdResponse>\r\n<CmdStatus>S</CmdStatus>", "No </CmdResponse> in Response XML", "S",
         true, false},
        {"<RStream>\r\n<CmdResponse>\r\n<CmdStatus>Bad</CmdStatus></CMDRESPONSE>",
         "No </CmdResponse> in Response XML", "Bad", false, true},
    };
    for (const auto& [text, message, status, success, error] : rows) {
        SCOPED_TRACE(text);
        Scan scan = ScanText(text);
        EXPECT_FALSE(scan.ok);
        EXPECT_EQ(scan.reports, std::vector<CString>{message});
        EXPECT_EQ(scan.r.m_strCmdStatus, status);
        EXPECT_EQ(std::tie(scan.r.m_bSuccess, scan.r.m_bError), std::tie(success, error));
    }
}

TEST(ResponseScanner, FieldsAreCopiedVerbatimByTheFieldRule) {
    const std::string tran = "<MerchantID>M&amp;1</MerchantID><AcctNo><Masked>XXXX1111</Masked></AcctNo>"
                             "</RefNo><RefNo>late</RefNo><UserTraceData>tran</UserTraceData>"
                             "<AuthCode> spaced </AuthCode><Memo>unclosed";
    Scan scan = ScanText(Response("Approved", "Processor", tran, "only <b>here</b>"));
    ASSERT_TRUE(scan.ok);
    EXPECT_EQ(scan.r.m_strMerchantID, "M&amp;1");
    EXPECT_EQ(scan.r.m_strAcctNo, "<Masked>XXXX1111</Masked>");
    EXPECT_EQ(scan.r.m_strRefNo, "") << "closing tag before the opening one";
    EXPECT_EQ(scan.r.m_strAuthCode, " spaced ");
    EXPECT_EQ(scan.r.m_strMemo, "") << "no closing tag: left as it was";
    EXPECT_EQ(scan.r.m_strUserTraceData, "tran") << "the transaction part replaces the command value";
    EXPECT_EQ(scan.r.m_strTextResponse, "only <b>here</b>");
    EXPECT_EQ(scan.r.m_strReturnCode, "000000");

    // The command section runs to the end: a TextResponse only in the transaction part is found.
    scan = ScanText("<RStream>\r\n<CmdResponse>\r\n<CmdStatus>A</CmdStatus></CmdResponse>\r\n"
                    "<TranResponse>\r\n<TextResponse>late</TextResponse><UserTraceData>t</UserTraceData>");
    EXPECT_EQ(scan.r.m_strTextResponse, "late");
    EXPECT_EQ(scan.r.m_strUserTraceData, "t");
}

// Each cut is copied into a buffer of exactly its length, so a read past the end is caught under
// the address sanitizer.
TEST(ResponseScanner, EveryTruncationIsSafeAndReadsOnlyWhatIsThere) {
    const std::string full = Response("Approved", "Processor", Tran());
    bool sawComplete = false;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        auto buffer = std::make_unique<char[]>(n ? n : 1);
        std::copy_n(full.data(), n, buffer.get());
        Scan scan = ScanText(std::string_view(buffer.get(), n));
        EXPECT_EQ(scan.reports.size(), scan.ok ? 0u : 1u) << n;
        for (const CString* value : {&scan.r.m_strCmdStatus, &scan.r.m_strResponseOrigin,
                                     &scan.r.m_strAuthCode, &scan.r.m_strTextResponse, &scan.r.m_strMemo})
            EXPECT_NE(full.find(*value), std::string::npos) << n;
        sawComplete = sawComplete || (scan.ok && scan.r.m_strRefNo == "0042");
    }
    EXPECT_TRUE(sawComplete);
}

} // namespace
