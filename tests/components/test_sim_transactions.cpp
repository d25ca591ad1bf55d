// Simulated processor: each transaction code's approve, decline and error paths, state carried by
// tokens, batches, bad requests, signatures and the store's limits.
#include <gtest/gtest.h>

#include <sstream>

#include "SimTestSupport.h"

using namespace simtest;
using tvxsim::ESimKind;

namespace {

void ExpectApproved(const Response& r) {
    EXPECT_EQ(r.Status(), "Approved") << r.Xml();
    EXPECT_EQ(r.Origin(), "Processor");
    EXPECT_EQ(r.Code(), "000000");
}

void ExpectDeclined(const Response& r, const std::string& text) {
    EXPECT_EQ(r.Status(), "Declined") << r.Xml();
    EXPECT_EQ(r.Origin(), "Processor");
    EXPECT_EQ(r.Code(), "001001");
    EXPECT_EQ(r.Text(), text);
    EXPECT_FALSE(r.Has("RecordNo")) << "a decline hands out no record";
}

void ExpectError(const Response& r, const std::string& origin, const std::string& code) {
    EXPECT_EQ(r.Status(), "Error") << r.Xml();
    EXPECT_EQ(r.Origin(), origin);
    EXPECT_EQ(r.Code(), code);
    EXPECT_FALSE(r.Has("TranResponse"));
    EXPECT_TRUE(r.WellFormed());
}

} // namespace

// Each element on a line of its own, one TAB per level, every line ending with CR LF.
TEST(SimLayout, EveryLineEndsWithCrLfAndIsIndentedByLevel) {
    Session s;
    for (const Response& r : {s.Sale("10.00", "1"), s.Sale("1.05", "2"), s.Tran({{"TranCode", "Sale"}}),
                              s.Admin("BatchSummary")}) {
        ASSERT_TRUE(r.WellFormed()) << r.Xml();
        const std::string& x = r.Xml();
        EXPECT_TRUE(
            x.starts_with("<?xml version=\"1.0\"?>\r\n<RStream>\r\n\t<CmdResponse>\r\n\t\t<ResponseOrigin>"));
        EXPECT_EQ(std::count(x.begin(), x.end(), '\n'), std::count(x.begin(), x.end(), '\r'));
        EXPECT_NE(x.find("\r\n\t</CmdResponse>\r\n"), std::string::npos);
        EXPECT_EQ(x.substr(x.size() - 12), "</RStream>\r\n");
    }
}

TEST(SimSale, ApprovalCarriesMaskedCardAmountsAndTokens) {
    Session s;
    Response r = s.Sale("12.34", "1001", {{"Gratuity", "1.50"}, {"OperatorID", "ANNA"}});
    ExpectApproved(r);
    // RefNo defaults to the invoice.
    const Fields expected = {{"TextResponse", "APPROVED"},
                             {"AcctNo", "XXXX1111"},
                             {"ExpDate", "XXXX"},
                             {"CardType", "VISA"},
                             {"TranCode", "Sale"},
                             {"CaptureStatus", "Captured"},
                             {"RefNo", "1001"},
                             {"OperatorID", "ANNA"},
                             {"Purchase", "12.34"},
                             {"Gratuity", "1.50"},
                             {"Authorize", "13.84"}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(r.Get(name.c_str()), value) << name;
    EXPECT_EQ(r.Xml().find(Session::kVisa), std::string::npos) << "full account number leaked";
    EXPECT_EQ(r.Get("AuthCode").size(), 6u);
    for (const char* token : {"AcqRefData", "ProcessData", "RecordNo"})
        EXPECT_FALSE(r.Get(token).empty()) << token;
}

// One request to a fresh component, a keyed credit sale of the standard card changed by the row:
// each card, decline and field rule that needs no earlier record.
TEST(SimOneRequest, OutcomeOfEachRule) {
    const struct {
        Fields extra;
        std::vector<std::string> drop;
        const char* code; // 000000 approved, 001001 declined, else a Client error
        Fields expect;
    } cases[] = {
        {{{"AcctNo", "6011000990139424"}}, {}, "000000", {{"CardType", "DCVR"}, {"AcctNo", "XXXX9424"}}},
        {{{"AcctNo", "371449635398431"}, {"ExpDate", "0529"}}, {}, "000000", {{"CardType", "AMEX"}}},
        {{{"Track2", ";5454545454545454=2812101000000000?"}}, {}, "000000", {{"AcctNo", "XXXX5454"}}},
        {{{"Purchase", "105.50"}}, {}, "000000", {}}, // only the cents decide
        {{{"TranType", "credit"}, {"TranCode", "sale"}}, {}, "000000", {{"TranCode", "Sale"}}},
        {{{"Memo", "R&D lunch"}}, {}, "000000", {{"Memo", "R&D lunch"}}}, // a bare ampersand still reads
        {{{"TranCode", "Return"}}, {}, "000000", {{"TranCode", "Return"}, {"Purchase", "1.00"}}},
        {{{"Purchase", "12.05"}}, {}, "001001", {{"TextResponse", "DECLINE"}}},
        {{{"AcctNo", "4000000000000002"}}, {}, "001001", {{"TextResponse", "DECLINE"}}},
        {{{"ExpDate", "1219"}}, {}, "001001", {{"TextResponse", "EXPIRED CARD"}}},
        {{{"TranCode", "Return"}, {"Purchase", "7.05"}}, {}, "001001", {{"TextResponse", "DECLINE"}}},
        {{{"TranCode", "PreAuth"}, {"Purchase", "20.05"}}, {}, "001001", {{"TextResponse", "DECLINE"}}},
        {{{"TranType", "PrePaid"}, {"TranCode", "Balance"}, {"AcctNo", "6050110010000002"}},
         {},
         "001001",
         {{"TextResponse", "DECLINE"}}},
        {{{"Purchase", "0.00"}}, {}, "004006", {{"TextResponse", "Purchase must be more than 0.00"}}},
        {{{"Purchase", "12.345"}}, {}, "004006", {}},
        {{{"Purchase", "-5.00"}}, {}, "004006", {}},
        {{{"Purchase", "100000.00"}}, {}, "004006", {}},
        {{{"AcctNo", "4111111111111112"}}, {}, "004006", {}}, // check digit
        {{{"InvoiceNo", "A12"}}, {}, "004006", {}},
        {{{"Memo", std::string(257, 'm')}}, {}, "004006", {}},
        {{}, {"Purchase"}, "004005", {{"TextResponse", "Missing Purchase"}}},
        {{}, {"ExpDate"}, "004005", {}}, // a keyed credit card needs one
        {{}, {"AcctNo"}, "004005", {}},
        {{}, {"MerchantID"}, "004005", {}},
        {{{"TranCode", "Return"}}, {"Purchase"}, "004005", {}},
        {{{"TranCode", "PreAuth"}}, {"Purchase"}, "004005", {}},
        {{{"TranCode", "Balance"}}, {"TranType", "AcctNo"}, "004005", {}}, // PrePaid by default
        {{{"TranCode", "Balance"}, {"AcctNo", Session::kGift}}, {}, "004007", {}},
        {{{"TranType", "Debit"}}, {}, "004007", {}},
        {{{"TranCode", "Refund"}}, {}, "004007", {}},
        {{{"TranCode", "BatchClose"}},
         {},
         "004007",
         {{"TextResponse", "TranCode BatchClose belongs in an <Admin> block"}}},
        {{{"Memo", "a < b"}}, {}, "004003", {}}, // a bare '<' cannot
    };
    for (const auto& c : cases) {
        Session s;
        Fields fields = Session::Merge(Session::SaleFields("1.00", "1"), c.extra);
        std::erase_if(fields, [&](const auto& f) { return std::ranges::count(c.drop, f.first) > 0; });
        Response r = s.Tran(fields);
        SCOPED_TRACE(c.extra.empty() ? c.drop.front() : c.extra.back().second);
        if (c.code == std::string("000000"))
            ExpectApproved(r);
        else if (c.code == std::string("001001"))
            ExpectDeclined(r, r.Text());
        else
            ExpectError(r, "Client", c.code);
        for (const auto& [name, value] : c.expect)
            EXPECT_EQ(r.Get(name.c_str()), value) << name;
    }
}

TEST(SimPreAuth, CaptureWithinTheAuthorizationAndOnlyOnce) {
    Session s;
    Fields preauth = Session::Merge(Session::SaleFields("40.00", "3001"), {{"TranCode", "PreAuth"}});
    preauth.back() = {"Authorize", "40.00"};
    Response auth = s.Tran(preauth);
    ExpectApproved(auth);
    EXPECT_EQ(auth.Get("CaptureStatus"), "Authorized");
    EXPECT_EQ(auth.Get("Authorize"), "40.00");
    EXPECT_EQ(s.Admin("BatchSummary").Get("BatchItemCount"), "0") << "an open hold is not in the batch";

    std::string recordNo = auth.Get("RecordNo");
    ExpectDeclined(s.FollowUp("PreAuthCapture", recordNo, {{"Purchase", "45.00"}, {"Gratuity", "3.01"}}),
                   "OVER AUTH LIMIT");
    Response capture = s.FollowUp("PreAuthCapture", recordNo, {{"Purchase", "40.00"}, {"Gratuity", "8.00"}});
    ExpectApproved(capture);
    EXPECT_EQ(capture.Get("CaptureStatus"), "Captured");
    EXPECT_EQ(capture.Get("RecordNo"), recordNo);
    EXPECT_EQ(capture.Get("AuthCode"), auth.Get("AuthCode"));
    EXPECT_EQ(capture.Get("Authorize"), "40.00");
    EXPECT_EQ(s.Admin("BatchSummary").Get("SaleAmount"), "48.00");

    ExpectError(s.FollowUp("PreAuthCapture", recordNo, {{"Purchase", "40.00"}}), "Server", "005003");
    ExpectError(s.FollowUp("PreAuthCapture", recordNo), "Client", "004005"); // no Purchase
}

TEST(SimVoid, VoidSaleUsesTheRecordAndChecksEveryCarriedToken) {
    Session s;
    Response sale = s.Sale("25.50", "4001");
    std::string recordNo = sale.Get("RecordNo");

    for (const auto& mismatch : Fields{{"RefNo", "9999"},
                                       {"AcqRefData", "b001c000099dXXXXXX"},
                                       {"ProcessData", "|00|000000000000"},
                                       {"AuthCode", "ZZZZZZ"},
                                       {"Purchase", "25.00"}})
        ExpectError(s.FollowUp("VoidSale", recordNo, {mismatch}), "Server", "005002");
    // Another merchant's record is not found.
    ExpectError(s.FollowUp("VoidSale", recordNo, {{"MerchantID", "OTHER1"}}), "Server", "005001");
    ExpectError(s.FollowUp("VoidSale", ""), "Client", "004005");

    Response voided = s.FollowUp("VoidSale", recordNo,
                                 {{"RefNo", "4001"},
                                  {"AuthCode", sale.Get("AuthCode")},
                                  {"AcqRefData", sale.Get("AcqRefData")},
                                  {"ProcessData", sale.Get("ProcessData")},
                                  {"Purchase", "25.50"}});
    ExpectApproved(voided);
    EXPECT_EQ(voided.Get("CaptureStatus"), "Voided");
    EXPECT_EQ(voided.Get("RecordNo"), recordNo);
    ExpectError(s.FollowUp("VoidSale", recordNo), "Server", "005003");

    Response summary = s.Admin("BatchSummary");
    EXPECT_EQ(summary.Get("BatchItemCount"), "0");
    EXPECT_EQ(summary.Get("VoidCount"), "1");
}

TEST(SimVoid, VoidReturnAndTheSettledDecline) {
    Session s;
    Response sale = s.Sale("9.00", "5001");
    Response ret = s.Return("4.00", "5002");
    ExpectError(s.FollowUp("VoidReturn", sale.Get("RecordNo")), "Server", "005003");
    ExpectError(s.FollowUp("VoidSale", ret.Get("RecordNo")), "Server", "005003");

    Response another = s.Return("6.00", "5003");
    ExpectApproved(s.FollowUp("VoidReturn", another.Get("RecordNo")));
    s.Admin("BatchClose");
    ExpectDeclined(s.FollowUp("VoidReturn", ret.Get("RecordNo")), "ALREADY SETTLED");
}

TEST(SimAdjust, ReplacesTheGratuityOfACapturedSale) {
    Session s;
    Response sale = s.Sale("10.00", "6001");
    std::string recordNo = sale.Get("RecordNo");
    Response adjust = s.FollowUp("Adjust", recordNo, {{"Gratuity", "2.00"}, {"Purchase", "10.00"}});
    ExpectApproved(adjust);
    EXPECT_EQ(adjust.Get("Gratuity"), "2.00");
    EXPECT_EQ(adjust.Get("Authorize"), "12.00");
    EXPECT_EQ(adjust.Get("RecordNo"), recordNo) << "a follow-up keeps the record's tokens";
    ExpectApproved(s.FollowUp("Adjust", recordNo, {{"Gratuity", "3.00"}}));

    ExpectDeclined(s.FollowUp("Adjust", recordNo, {{"Gratuity", "10.01"}}), "GRATUITY OVER LIMIT");
    ExpectError(s.FollowUp("Adjust", recordNo), "Client", "004005");
    ExpectError(s.FollowUp("Adjust", s.Return("1.00", "6002").Get("RecordNo"), {{"Gratuity", "1.00"}}),
                "Server", "005003");

    Response summary = s.Admin("BatchSummary");
    EXPECT_EQ(summary.Get("SaleAmount"), "13.00");
    EXPECT_EQ(summary.Get("GratuityAmount"), "3.00");
    s.Admin("BatchClose");
    ExpectDeclined(s.FollowUp("Adjust", recordNo, {{"Gratuity", "1.00"}}), "ALREADY SETTLED");
}

TEST(SimBalance, GiftCardBalanceFollowsSalesReturnsAndVoids) {
    Session s;
    const Fields gift = {{"TranType", "PrePaid"}, {"AcctNo", Session::kGift}};
    auto balance = [&] { return s.Sale("1.00", "1", Session::Merge(gift, {{"TranCode", "Balance"}})); };
    Response opening = balance();
    ExpectApproved(opening);
    EXPECT_EQ(opening.Get("Balance"), "100.00");
    EXPECT_EQ(opening.Get("CardType"), "GIFT");
    EXPECT_FALSE(opening.Has("RecordNo"));

    Response spent = s.Sale("15.00", "7001", gift);
    ExpectApproved(spent);
    EXPECT_EQ(spent.Get("Balance"), "85.00");
    EXPECT_EQ(balance().Get("Balance"), "85.00");

    Response refused = s.Sale("90.00", "7002", gift);
    ExpectDeclined(refused, "INSUFFICIENT FUNDS");
    EXPECT_EQ(refused.Get("Balance"), "85.00");

    ExpectApproved(s.FollowUp("VoidSale", spent.Get("RecordNo")));
    EXPECT_EQ(balance().Get("Balance"), "100.00");
}

TEST(SimBatch, SummaryTotalsAndCloseEmptiesTheBatch) {
    Session s;
    std::string first = s.Sale("10.00", "1").Get("RecordNo");
    s.FollowUp("Adjust", first, {{"Gratuity", "2.00"}});
    std::string second = s.Sale("25.50", "2").Get("RecordNo");
    s.FollowUp("VoidSale", second);
    s.Sale("12.05", "3"); // declined: not in the batch
    s.Return("5.00", "4");
    s.Sale("7.00", "5", {{"MerchantID", "770099887766"}}); // another merchant's batch

    Response summary = s.Admin("BatchSummary");
    EXPECT_EQ(summary.Status(), "Success");
    EXPECT_EQ(summary.Origin(), "Processor");
    EXPECT_FALSE(summary.Has("TranResponse")) << "an admin answer has no transaction part";
    for (const auto& [name, value] : Fields{{"BatchNo", "1"},
                                            {"BatchItemCount", "2"},
                                            {"SaleCount", "1"},
                                            {"SaleAmount", "12.00"},
                                            {"ReturnAmount", "5.00"},
                                            {"VoidCount", "1"},
                                            {"NetBatchTotal", "7.00"}})
        EXPECT_EQ(summary.Get(name.c_str()), value) << name;
    EXPECT_EQ(summary.Text(), "Batch 1: 2 items, net 7.00");

    Response close = s.Admin("BatchClose");
    EXPECT_EQ(close.Status(), "Success");
    EXPECT_EQ(close.Get("NetBatchTotal"), "7.00");
    EXPECT_EQ(close.Text(), "Batch 1 closed: 2 items, net 7.00");

    Response after = s.Admin("BatchSummary");
    EXPECT_EQ(after.Get("BatchNo"), "2");
    EXPECT_EQ(after.Get("BatchItemCount"), "0");
    EXPECT_EQ(after.Get("NetBatchTotal"), "0.00");
    EXPECT_EQ(s.Admin("BatchSummary", "770099887766").Get("SaleAmount"), "7.00");

    ExpectError(s.Admin("BatchPurge"), "Client", "004007");
    ExpectError(s.Submit(Request("Admin", {{"TranCode", "BatchClose"}})), "Client", "004005");
}

TEST(SimRequest, BadDocumentsGetClientErrors) {
    Session s;
    const std::pair<const char*, const char*> documents[] = {
        {"", "004001"},
        {" \r\n\t", "004001"},
        {"<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Transaction>", "004003"},
        {"not xml at all", "004003"},
        {"<RStream><Transaction/></RStream>", "004004"},
        {"<TStream/><TStream/>", "004004"},
        {"<TStream></TStream>", "004004"},
        {"<TStream><Transaction/><Transaction/></TStream>", "004004"},
        {"<TStream><Payment/></TStream>", "004004"},
        {"<TStream><Transaction/></TStream>", "004005"},
    };
    for (const auto& [text, code] : documents)
        ExpectError(s.Submit(text), "Client", code);

    std::string huge =
        "<TStream><Transaction><Memo>" + std::string(50u << 20, 'x') + "</Memo></Transaction></TStream>";
    Response tooLarge = s.Submit(huge);
    ExpectError(tooLarge, "Client", "004002");
    EXPECT_LT(tooLarge.Xml().size(), 2000u);
}

TEST(SimRequest, EchoesTextEscaped) {
    Session s;
    Response r =
        s.Sale("3.00", "9", {{"Memo", "Fish &amp; Chips &lt;table 4&gt;"}, {"UserTraceData", "run-17"}});
    ASSERT_TRUE(r.WellFormed()) << r.Xml();
    EXPECT_EQ(r.Get("Memo"), "Fish & Chips <table 4>");
    EXPECT_EQ(r.Get("UserTraceData"), "run-17");
    EXPECT_NE(r.Xml().find("Fish &amp; Chips &lt;table 4&gt;"), std::string::npos);
    Response trace = s.Submit(Request("Admin", {{"TranCode", "Nothing"}, {"UserTraceData", "t-1"}}));
    EXPECT_EQ(trace.Get("UserTraceData"), "t-1") << "errors echo the trace too";
}

TEST(SimSignature, DevicePadSignsOnRequestOnly) {
    Session device(ESimKind::Device);
    Response signed_ = device.Sale("20.00", "1", {{"SignatureRequested", "Yes"}});
    ExpectApproved(signed_);
    std::string sig = signed_.Get("Signature");
    ASSERT_FALSE(sig.empty());
    EXPECT_EQ(sig.back(), ':');
    int points = 0, lifts = 0;
    std::stringstream tokens(sig);
    for (std::string token; std::getline(tokens, token, ':');) {
        if (token == "#,#") {
            ++lifts;
            continue;
        }
        std::size_t comma = token.find(',');
        ASSERT_NE(comma, std::string::npos) << token;
        int x = std::stoi(token.substr(0, comma)), y = std::stoi(token.substr(comma + 1));
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 1) << "y = 0 falls outside the picture";
        EXPECT_LE(x, 500);
        EXPECT_LE(y, 200);
        ++points;
    }
    EXPECT_GT(points, 20);
    EXPECT_GE(lifts, 2);

    EXPECT_FALSE(device.Sale("20.00", "2").Has("Signature"));
    EXPECT_FALSE(device.Sale("20.00", "3", {{"SignatureRequested", "No"}}).Has("Signature"));
    EXPECT_FALSE(device.Sale("20.05", "4", {{"SignatureRequested", "Yes"}}).Has("Signature"));

    Session client(ESimKind::Client);
    EXPECT_FALSE(client.Sale("20.00", "1", {{"SignatureRequested", "Yes"}}).Has("Signature"));

    Response pad = device.Submit(Request("Corvane", {{"TranCode", "GetSignature"}}));
    EXPECT_EQ(pad.Status(), "Success");
    EXPECT_FALSE(pad.Get("Signature").empty());
    ExpectError(client.Submit(Request("Corvane", {{"TranCode", "GetSignature"}})), "Client", "004008");
    EXPECT_EQ(client.Submit(Request("Corvane", {{"TranCode", "EchoTest"}})).Status(), "Success");
}

// The record store: records are found by RecordNo, and a full store forgets the oldest settled
// record, never an open one.
TEST(SimLimits, AFullStoreForgetsTheOldestSettledRecordOnly) {
    Session s;
    const int submit = tvxsim::DispidsOf(ESimKind::Client).nSubmitRequest;
    const std::string quickSale = Request("Transaction", Session::SaleFields("1.00", "9"));
    std::string oldest = s.Sale("1.00", "1").Get("RecordNo");
    std::string hold = s.Sale("5.00", "2", {{"TranCode", "PreAuth"}}).Get("RecordNo");
    std::string third = s.Sale("1.00", "3").Get("RecordNo");
    for (int i = 3; i < 10000; ++i)
        s.Component().Invoke(submit, {quickSale, std::int16_t{0}, std::string(), std::string("TRANVEX")});

    Response full = s.Sale("1.00", "4");
    ExpectError(full, "Server", "005004");
    EXPECT_EQ(s.Admin("BatchSummary").Get("SaleCount"), "9999") << "the refused sale is not in the batch";

    s.Admin("BatchClose");
    std::string newest = s.Sale("1.00", "5").Get("RecordNo");
    ASSERT_FALSE(newest.empty());
    ExpectError(s.FollowUp("VoidSale", oldest), "Server", "005001");
    ExpectDeclined(s.FollowUp("VoidSale", third), "ALREADY SETTLED");
    ExpectApproved(s.FollowUp("PreAuthCapture", hold, {{"Purchase", "5.00"}}));
    ExpectApproved(s.FollowUp("VoidSale", newest));

    // Only the whole RecordNo names a record: the same sequence under another hash does not.
    std::string forged = "R00000000" + newest.substr(9);
    ASSERT_NE(forged, newest);
    ExpectError(s.FollowUp("VoidSale", forged), "Server", "005001");
    ExpectError(s.FollowUp("VoidSale", newest.substr(0, 14)), "Server", "005001");
}

// Fields are found at any depth, and a deeply nested request is walked without exhausting the stack.
TEST(SimLimits, FieldsAreFoundAtAnyDepth) {
    Session s;
    std::string open, close;
    for (int i = 0; i < 100000; ++i) {
        open += "<a>";
        close += "</a>";
    }
    Response r = s.Submit("<TStream><Corvane>" + open + "<TranCode>EchoTest</TranCode>" + close +
                          "<TranCode>Bogus</TranCode></Corvane></TStream>");
    EXPECT_EQ(r.Status(), "Success") << r.Xml();
    EXPECT_EQ(r.Text(), "Echo test OK") << "the first TranCode in document order counts";
}
