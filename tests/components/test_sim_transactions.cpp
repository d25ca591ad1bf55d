// Simulated processor: each transaction code's approve, decline and error paths, state carried by
// tokens, batches, bad requests, signatures and the store's limits.
#include <gtest/gtest.h>

#include <map>
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

// "Approved", "Declined TEXT" or "Error ORIGIN CODE".
void Expect(const Response& r, const std::string& want) {
    const std::size_t space = want.find(' '), second = want.rfind(' ');
    if (want == "Approved")
        ExpectApproved(r);
    else if (want.rfind("Declined", 0) == 0)
        ExpectDeclined(r, want.substr(space + 1));
    else
        ExpectError(r, want.substr(space + 1, second - space - 1), want.substr(second + 1));
}

// A card request of the standard card, the amount under amountName.
Fields Card(const std::string& code, const std::string& amount, const std::string& invoice,
            const char* amountName = "Purchase") {
    Fields fields = Session::Merge(Session::SaleFields(amount, invoice), {{"TranCode", code}});
    fields.back().first = amountName;
    return fields;
}
Fields Without(Fields fields, const std::string& name) {
    std::erase_if(fields, [&](const auto& field) { return field.first == name; });
    return fields;
}
Fields Code(const std::string& code, const Fields& extra = {}) {
    return Session::Merge({{"MerchantID", Session::kMerchant}, {"TranCode", code}}, extra);
}

// Requests run in order on one component; a step may carry the RecordNo of an earlier named step.
struct Step {
    const char* name;
    Fields fields;
    const char* record;
    std::string want;
    Fields answer = {}; // elements the answer must hold
};

class Scenario {
public:
    void Run(const std::vector<Step>& steps) {
        for (std::size_t n = 0; n < steps.size(); ++n) {
            const Step& step = steps[n];
            Fields fields = step.fields;
            if (step.record)
                fields.emplace_back("RecordNo", m_records.at(step.record));
            const Response r = session.Tran(fields);
            SCOPED_TRACE("step " + std::to_string(n) + ": " + step.want);
            Expect(r, step.want);
            for (const auto& [name, value] : step.answer)
                EXPECT_EQ(r.Get(name.c_str()), value) << name;
            if (*step.name)
                m_records[step.name] = r.Get("RecordNo");
        }
    }
    std::string Summary(const char* name) { return session.Admin("BatchSummary").Get(name); }
    const std::string& Record(const char* name) const { return m_records.at(name); }
    Session session;

private:
    std::map<std::string, std::string> m_records;
};

} // namespace

// Each element on a line of its own, one TAB per level, every line ending with CR LF.
TEST(SimLayout, EveryLineEndsWithCrLfAndIsIndentedByLevel) {
    Session s;
    for (const Response& r : {s.Sale("10.00", "1"), s.Sale("1.05", "2"), s.Tran({{"TranCode", "Sale"}}),
                              s.Admin("BatchSummary")}) {
        ASSERT_TRUE(r.WellFormed()) << r.Xml();
        const std::string& x = r.Xml();
        EXPECT_EQ(
            x.rfind("<?xml version=\"1.0\"?>\r\n<RStream>\r\n\t<CmdResponse>\r\n\t\t<ResponseOrigin>", 0),
            0u);
        EXPECT_EQ(std::count(x.begin(), x.end(), '\n'),
                  static_cast<long>(std::count(x.begin(), x.end(), '\r')));
        EXPECT_NE(x.find("\r\n\t</CmdResponse>\r\n"), std::string::npos);
        EXPECT_EQ(x.substr(x.size() - 12), "</RStream>\r\n");
    }
}

TEST(SimSale, ApprovalCarriesMaskedCardAmountsAndTokens) {
    Session s;
    Response r = s.Sale("12.34", "1001", {{"Gratuity", "1.50"}, {"OperatorID", "ANNA"}});
    ExpectApproved(r);
    for (const auto& [name, value] : Fields{{"TextResponse", "APPROVED"},
                                            {"AcctNo", "XXXX1111"},
                                            {"ExpDate", "XXXX"},
                                            {"CardType", "VISA"},
                                            {"TranCode", "Sale"},
                                            {"CaptureStatus", "Captured"},
                                            {"RefNo", "1001"}, // RefNo defaults to the invoice
                                            {"OperatorID", "ANNA"},
                                            {"Purchase", "12.34"},
                                            {"Gratuity", "1.50"},
                                            {"Authorize", "13.84"}})
        EXPECT_EQ(r.Get(name.c_str()), value) << name;
    EXPECT_EQ(r.Xml().find(Session::kVisa), std::string::npos) << "full account number leaked";
    EXPECT_EQ(r.Get("AuthCode").size(), 6u);
    for (const char* token : {"AcqRefData", "ProcessData", "RecordNo"})
        EXPECT_FALSE(r.Get(token).empty()) << token;
}

TEST(SimSale, CardTypesAndTrack2) {
    const struct {
        Fields extra;
        const char *type, *acct;
    } cases[] = {
        {{{"AcctNo", "6011000990139424"}}, "DCVR", "XXXX9424"},
        {{{"AcctNo", "371449635398431"}, {"ExpDate", "0529"}}, "AMEX", "XXXX8431"},
        {{{"Track2", ";5454545454545454=2812101000000000?"}}, "M/C", "XXXX5454"}, // wins over AcctNo
    };
    Session s;
    for (const auto& c : cases) {
        Response r = s.Sale("2.00", "2", c.extra);
        ExpectApproved(r);
        EXPECT_EQ(r.Get("CardType"), c.type);
        EXPECT_EQ(r.Get("AcctNo"), c.acct);
    }
}

TEST(SimSale, DeclineRules) {
    Session s;
    ExpectDeclined(s.Sale("12.05", "1"), "DECLINE");
    ExpectDeclined(s.Sale("10.00", "2", {{"AcctNo", "4000000000000002"}}), "DECLINE");
    ExpectDeclined(s.Sale("5.00", "3", {{"ExpDate", "1219"}}), "EXPIRED CARD");
    // Only the cents decide: 105.50 is no decline.
    ExpectApproved(s.Sale("105.50", "4"));
}

TEST(SimSale, ClientErrorsForIncompleteOrInvalidFields) {
    const struct {
        Fields extra;
        const char* drop;
        const char* code;
    } cases[] = {
        {{{"Purchase", "0.00"}}, "", "004006"},
        {{{"Purchase", "12.345"}}, "", "004006"},
        {{{"Purchase", "-5.00"}}, "", "004006"},
        {{{"Purchase", "100000.00"}}, "", "004006"},
        {{{"AcctNo", "4111111111111112"}}, "", "004006"}, // check digit
        {{{"InvoiceNo", "A12"}}, "", "004006"},
        {{}, "ExpDate", "004005"}, // a keyed credit card needs one
        {{}, "AcctNo", "004005"},
        {{}, "MerchantID", "004005"},
        {{{"TranType", "Debit"}}, "", "004007"},
    };
    Session s;
    for (const auto& c : cases) {
        Fields fields = Session::Merge(Session::SaleFields("1.00", "1"), c.extra);
        std::erase_if(fields, [&](const auto& f) { return f.first == c.drop; });
        ExpectError(s.Tran(fields), "Client", c.code);
    }
    Fields noAmount = Session::SaleFields("1.00", "1");
    noAmount.pop_back();
    EXPECT_EQ(s.Tran(noAmount).Text(), "Missing Purchase");
}

TEST(SimFollowUps, ReturnsVoidsAndAdjustmentsFollowTheirRecords) {
    Scenario s;
    s.Run({
        {"return",
         Card("Return", "5.00", "2001"),
         nullptr,
         "Approved",
         {{"TranCode", "Return"}, {"Purchase", "5.00"}}},
        {"", Card("Return", "7.05", "2002"), nullptr, "Declined DECLINE"},
        {"", Without(Card("Return", "1.00", "2003"), "Purchase"), nullptr, "Error Client 004005"},
        {"sale", Card("Sale", "25.50", "4001"), nullptr, "Approved"},
        {"", Code("VoidSale", {{"RefNo", "9999"}}), "sale", "Error Server 005002"},
        {"", Code("VoidSale", {{"AcqRefData", "b001c000099dXXXXXX"}}), "sale", "Error Server 005002"},
        {"", Code("VoidSale", {{"ProcessData", "|00|000000000000"}}), "sale", "Error Server 005002"},
        {"", Code("VoidSale", {{"AuthCode", "ZZZZZZ"}}), "sale", "Error Server 005002"},
        {"", Code("VoidSale", {{"Purchase", "25.00"}}), "sale", "Error Server 005002"},
        {"", Code("VoidSale", {{"MerchantID", "OTHER1"}}), "sale", "Error Server 005001"}, // not its record
        {"", Code("VoidSale"), nullptr, "Error Client 004005"},
        {"",
         Code("VoidSale", {{"RefNo", "4001"}, {"Purchase", "25.50"}}),
         "sale",
         "Approved",
         {{"CaptureStatus", "Voided"}}},
        {"", Code("VoidSale"), "sale", "Error Server 005003"},
        {"", Code("VoidReturn"), "sale", "Error Server 005003"},
        {"", Code("VoidSale"), "return", "Error Server 005003"},
        {"tip", Card("Sale", "10.00", "6001"), nullptr, "Approved"},
        {"",
         Code("Adjust", {{"Gratuity", "2.00"}, {"Purchase", "10.00"}}),
         "tip",
         "Approved",
         {{"Gratuity", "2.00"}, {"Authorize", "12.00"}}},
        {"", Code("Adjust", {{"Gratuity", "3.00"}}), "tip", "Approved"},
        {"", Code("Adjust", {{"Gratuity", "10.01"}}), "tip", "Declined GRATUITY OVER LIMIT"},
        {"", Code("Adjust"), "tip", "Error Client 004005"},
        {"", Code("Adjust", {{"Gratuity", "1.00"}, {"RecordNo", "nope"}}), nullptr, "Error Server 005001"},
        {"", Code("Adjust", {{"Gratuity", "1.00"}}), "return", "Error Server 005003"},
        {"ret2", Card("Return", "6.00", "5003"), nullptr, "Approved"},
        {"", Code("VoidReturn"), "ret2", "Approved"},
    });
    EXPECT_EQ(s.Summary("SaleAmount"), "13.00");
    EXPECT_EQ(s.Summary("GratuityAmount"), "3.00");
    s.session.Admin("BatchClose");
    s.Run({
        {"", Code("VoidReturn"), "return", "Declined ALREADY SETTLED"},
        {"", Code("VoidSale"), "tip", "Declined ALREADY SETTLED"},
        {"", Code("Adjust", {{"Gratuity", "1.00"}}), "tip", "Declined ALREADY SETTLED"},
    });
}

TEST(SimPreAuth, CaptureWithinTheAuthorizationAndOnlyOnce) {
    Scenario s;
    s.Run({{"hold",
            Card("PreAuth", "40.00", "3001", "Authorize"),
            nullptr,
            "Approved",
            {{"CaptureStatus", "Authorized"}, {"Authorize", "40.00"}}}});
    EXPECT_EQ(s.Summary("BatchItemCount"), "0") << "an open hold is not in the batch";
    s.Run({
        {"", Code("PreAuthCapture", {{"Purchase", "45.00"}, {"Gratuity", "3.01"}}), "hold",
         "Declined OVER AUTH LIMIT"},
        {"", Code("PreAuthCapture"), "hold", "Error Client 004005"}, // no Purchase
        {"capture",
         Code("PreAuthCapture", {{"Purchase", "40.00"}, {"Gratuity", "8.00"}}),
         "hold",
         "Approved",
         {{"CaptureStatus", "Captured"}, {"Authorize", "40.00"}}},
        {"", Code("PreAuthCapture", {{"Purchase", "40.00"}}), "hold", "Error Server 005003"},
        {"", Code("PreAuthCapture", {{"Purchase", "1.00"}, {"RecordNo", "R00000000999999"}}), nullptr,
         "Error Server 005001"},
        {"", Card("PreAuth", "20.05", "3002"), nullptr,
         "Declined DECLINE"}, // Purchase stands in for Authorize
        {"", Without(Card("PreAuth", "1.00", "3003"), "Purchase"), nullptr, "Error Client 004005"},
    });
    EXPECT_EQ(s.Summary("SaleAmount"), "48.00");
    EXPECT_EQ(s.Record("capture"), s.Record("hold")) << "a follow-up keeps the record's tokens";
}

TEST(SimBalance, GiftCardBalanceFollowsSalesAndVoids) {
    const Fields balance = {{"MerchantID", Session::kMerchant},
                            {"TranType", "PrePaid"},
                            {"TranCode", "Balance"},
                            {"AcctNo", Session::kGift}};
    auto spend = [](const char* amount) {
        return Without(Session::Merge(Card("Sale", amount, "7001"),
                                      {{"TranType", "PrePaid"}, {"AcctNo", Session::kGift}}),
                       "ExpDate");
    };
    Scenario s;
    s.Run({
        {"", balance, nullptr, "Approved", {{"Balance", "100.00"}, {"CardType", "GIFT"}, {"RecordNo", ""}}},
        {"spent", spend("15.00"), nullptr, "Approved", {{"Balance", "85.00"}}},
        {"", balance, nullptr, "Approved", {{"Balance", "85.00"}}},
        {"", spend("90.00"), nullptr, "Declined INSUFFICIENT FUNDS", {{"Balance", "85.00"}}},
        {"", Code("VoidSale"), "spent", "Approved"},
        {"", balance, nullptr, "Approved", {{"Balance", "100.00"}}},
        {"", Session::Merge(balance, {{"AcctNo", "6050110010000002"}}), nullptr, "Declined DECLINE"},
        {"", Session::Merge(balance, {{"TranType", "Credit"}}), nullptr, "Error Client 004007"},
        {"", Code("Balance"), nullptr, "Error Client 004005"},
    });
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

    ExpectError(s.Admin("Sale"), "Client", "004007");
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
    ExpectError(s.Tran({{"MerchantID", Session::kMerchant}, {"TranCode", "Refund"}}), "Client", "004007");
    ExpectError(s.Tran({{"MerchantID", Session::kMerchant}, {"TranCode", "BatchClose"}}), "Client", "004007");

    std::string huge =
        "<TStream><Transaction><Memo>" + std::string(50u << 20, 'x') + "</Memo></Transaction></TStream>";
    Response tooLarge = s.Submit(huge);
    ExpectError(tooLarge, "Client", "004002");
    EXPECT_LT(tooLarge.Xml().size(), 2000u);

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    ExpectError(s.Submit("<TStream><Transaction>" + deep), "Client", "004003");
}

TEST(SimRequest, EchoesTextEscapedAndAcceptsCodesInAnyCase) {
    Session s;
    Response r =
        s.Sale("3.00", "9", {{"Memo", "Fish &amp; Chips &lt;table 4&gt;"}, {"UserTraceData", "run-17"}});
    ASSERT_TRUE(r.WellFormed()) << r.Xml();
    EXPECT_EQ(r.Get("Memo"), "Fish & Chips <table 4>");
    EXPECT_EQ(r.Get("UserTraceData"), "run-17");
    EXPECT_NE(r.Xml().find("Fish &amp; Chips &lt;table 4&gt;"), std::string::npos);

    Response lower = s.Sale("1.00", "10", {{"TranType", "credit"}, {"TranCode", "sale"}});
    ExpectApproved(lower);
    EXPECT_EQ(lower.Get("TranCode"), "Sale");

    // The window writes element text unescaped: a bare ampersand still reads, a bare '<' cannot.
    Response bare = s.Sale("2.00", "12", {{"Memo", "R&D lunch"}});
    ExpectApproved(bare);
    EXPECT_EQ(bare.Get("Memo"), "R&D lunch");
    ExpectError(s.Sale("2.00", "13", {{"Memo", "a < b"}}), "Client", "004003");

    ExpectError(s.Sale("1.00", "11", {{"Memo", std::string(257, 'm')}}), "Client", "004006");
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
