// The response scan: outcomes, the four missing-part reports, exact tags, verbatim values, compact
// layouts and every truncation of a valid response.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "controls/ResponseScanner.h"

namespace {

struct Scan {
    bool ok;
    std::vector<CString> reports;
    CParsedResponse r;
};

Scan ScanText(std::string_view text) {
    Scan scan;
    scan.ok = ScanResponse(text, scan.r, [&](const CString& m) { scan.reports.push_back(m); });
    return scan;
}

// A response laid out as the components write it: CR LF after each line, TAB indents.
std::string Response(const std::string& status, const std::string& origin, const std::string& tranFields = {},
                     const std::string& text = "Done") {
    std::string out = "<?xml version=\"1.0\"?>\r\n<RStream>\r\n\t<CmdResponse>\r\n\t\t<ResponseOrigin>" +
                      origin +
                      "</ResponseOrigin>\r\n\t\t<KVTXReturnCode>000000</KVTXReturnCode>\r\n\t\t<CmdStatus>" +
                      status + "</CmdStatus>\r\n\t\t<TextResponse>" + text +
                      "</TextResponse>\r\n\t\t<UserTraceData>cmd</UserTraceData>\r\n\t</CmdResponse>\r\n";
    if (!tranFields.empty())
        out += "\t<TranResponse>\r\n" + tranFields + "\t</TranResponse>\r\n";
    return out + "</RStream>\r\n";
}

const std::string kTran = "\t\t<AuthCode>A1B2C3</AuthCode>\r\n\t\t<RefNo>0042</RefNo>\r\n"
                          "\t\t<CaptureStatus>Captured</CaptureStatus>\r\n\t\t<Memo>m</Memo>\r\n";

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
    for (const auto& [status, tran, origin, success, error] : rows) {
        SCOPED_TRACE(std::string(status) + (tran ? " tran " : " cmd ") + origin);
        Scan scan = ScanText(Response(status, origin, tran ? kTran : ""));
        EXPECT_TRUE(scan.ok && scan.reports.empty());
        EXPECT_EQ(std::tie(scan.r.m_bSuccess, scan.r.m_bError, scan.r.m_bTranResponse),
                  std::tie(success, error, tran));
        EXPECT_EQ(scan.r.m_strCmdStatus, status);
        EXPECT_EQ(scan.r.m_strResponseOrigin, origin);
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
    // A new scan clears what the last one read.
    CParsedResponse r;
    ASSERT_TRUE(ScanResponse(Response("S", "Client", kTran), r, nullptr));
    EXPECT_FALSE(ScanResponse("junk", r, nullptr));
    EXPECT_EQ(r.m_strAuthCode, "");
    EXPECT_FALSE(r.m_bSuccess || r.m_bTranResponse);
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

// Only white space after a container tag is skipped, and no more of it than the line break there.
TEST(ResponseScanner, CompactAndIndentedLayoutsReadAlike) {
    const std::string compact = "<RStream><CmdResponse><ResponseOrigin>Processor</ResponseOrigin>"
                                "<CmdStatus>Approved</CmdStatus></CmdResponse><TranResponse><AuthCode>A1"
                                "</AuthCode><RefNo>9</RefNo></TranResponse></RStream>";
    const std::string lf = "<RStream>\n<CmdResponse>\n <ResponseOrigin>Processor</ResponseOrigin>\n"
                           "<CmdStatus>Approved</CmdStatus>\n</CmdResponse>\n<TranResponse>\n<AuthCode>A1"
                           "</AuthCode>\n<RefNo>9</RefNo>\n</TranResponse>\n</RStream>";
    for (const std::string& text : {compact, lf}) {
        SCOPED_TRACE(text);
        Scan scan = ScanText(text);
        ASSERT_TRUE(scan.ok) << (scan.reports.empty() ? "" : scan.reports[0]);
        EXPECT_EQ(scan.r.m_strResponseOrigin, "Processor");
        EXPECT_TRUE(scan.r.m_bTranResponse);
        EXPECT_TRUE(scan.r.m_bSuccess);
        EXPECT_EQ(scan.r.m_strAuthCode, "A1");
        EXPECT_EQ(scan.r.m_strRefNo, "9");
    }
}

// Each cut is copied into a buffer of exactly its length, so a read past the end is caught under
// the address sanitizer.
TEST(ResponseScanner, EveryTruncationIsSafeAndReadsOnlyWhatIsThere) {
    const std::string full = Response("Approved", "Processor", kTran);
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
