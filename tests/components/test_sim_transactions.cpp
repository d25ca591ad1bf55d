// Simulated processor: each transaction code's approve, decline and error paths, state carried by
// tokens, batches, bad requests, signatures and the store's limits.
#include <gtest/gtest.h>

#include <deque>
#include <regex>

#include "SimTestSupport.h"

using namespace simtest;
using tvxsim::ESimKind;

namespace {

// Status, origin, code and body for an outcome: "Approved", "Success", a decline's text (upper
// case) or an error's code (004... the client's, 005... the server's).
void ExpectOutcome(const Response& r, const std::string& outcome) {
    ASSERT_TRUE(r.WellFormed()) << r.Xml();
    const bool approved = outcome == "Approved", success = outcome == "Success";
    const bool declined = !approved && !success && std::isupper(static_cast<unsigned char>(outcome[0]));
    const bool client = outcome.starts_with("004");
    const char* status = approved ? "Approved" : success ? "Success" : declined ? "Declined" : "Error";
    EXPECT_EQ(r.Status(), status) << r.Xml();
    EXPECT_EQ(r.Code(), approved || success ? "000000" : declined ? "001001" : outcome);
    const char* origin = approved || declined ? "Processor" : client ? "Client" : "Server";
    EXPECT_TRUE(success || r.Origin() == origin) << r.Origin();
    EXPECT_TRUE(!(approved || declined) || r.Text() == (approved ? "APPROVED" : outcome)) << r.Text();
    EXPECT_EQ(r.Has("TranResponse"), approved || declined);
    EXPECT_TRUE(approved || !r.Has("RecordNo")) << "only an approval hands out a record";
}

// One request of a session. New transactions (Sale, Return, PreAuth, Balance) start from kSale,
// follow-ups and Batch... (Admin) codes from the merchant, EchoTest and GetSignature (Corvane) from
// nothing. extra changes or adds fields: an empty value leaves the field out, "#N" copies the field
// from step N's answer; with no code, extra is the whole request. expect lists fields the answer
// holds ("Name=" for none).
struct Step {
    std::string code, extra, outcome, expect = {};
};

bool IsCorvane(const std::string& code) {
    return code == "EchoTest" || code == "GetSignature";
}

// The fields of a step, before its copies from earlier answers.
Fields StepFields(const std::string& code, const std::string& extra) {
    const bool followUp = code == "PreAuthCapture" || code.starts_with("Void") || code == "Adjust";
    const std::string base = IsCorvane(code) ? ""
                             : code.starts_with("Batch") || followUp
                                 ? std::string("MerchantID=") + kMerchant + "; "
                                 : kSale + "; ";
    return F(base + "TranCode=" + code + (extra.empty() ? "" : "; ") + extra);
}

// The request of a step: the block its code belongs in, the fields that have a value.
std::string StepRequest(const std::string& code, Fields fields) {
    std::erase_if(fields, [](const auto& f) { return f.second.empty(); });
    return Request(code.starts_with("Batch") ? "Admin" : IsCorvane(code) ? "Corvane" : "Transaction", fields);
}

// Sends the steps in turn to a fresh component, checks each answer and gives them back.
std::deque<Response> Play(const std::vector<Step>& steps, ESimKind kind = ESimKind::Client) {
    tvxsim::CSimComponent component(kind);
    std::deque<Response> answers; // stays in place as it grows, for the pointer below
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(answers.size()) + ": " + step.code);
        const std::string& code = step.code;
        Fields fields = code.empty() ? Fields{} : StepFields(code, step.extra);
        const Response* original = nullptr;
        for (auto& [name, value] : fields)
            if (value.starts_with('#')) {
                original = &answers.at(std::stoul(value.substr(1)));
                value = original->Get(name);
            }
        answers.push_back(Submit(component, code.empty() ? step.extra : StepRequest(code, fields)));
        const Response& r = answers.back();

        ExpectOutcome(r, step.outcome);
        // Each element on a line of its own, one TAB per level, every line ending with CR LF.
        const std::string& x = r.Xml();
        EXPECT_TRUE(x.starts_with("<?xml version=\"1.0\"?>\r\n<RStream>\r\n\t<CmdResponse>\r\n\t\t<"));
        EXPECT_EQ(std::count(x.begin(), x.end(), '\n'), std::count(x.begin(), x.end(), '\r'));
        EXPECT_NE(x.find("\r\n\t</CmdResponse>\r\n"), std::string::npos);
        EXPECT_TRUE(x.ends_with("\r\n</RStream>\r\n"));
        EXPECT_LT(x.size(), 8192u) << "no request echoed whole";
        for (const auto& [name, value] : F(step.expect))
            EXPECT_EQ(r.Get(name), value) << name;
        for (const auto& [name, value] : fields)
            EXPECT_TRUE(name != "AcctNo" || value.empty() || x.find(value) == std::string::npos) << "leaked";
        if (step.outcome != "Approved")
            continue;
        // A new record gets fresh tokens, a follow-up repeats its record's; a balance makes none.
        for (const char* token : {"AuthCode", "AcqRefData", "ProcessData", "RecordNo"}) {
            const std::string value = r.Get(token);
            EXPECT_TRUE(original ? value == original->Get(token) : value.empty() == (code == "Balance"))
                << token << " " << value;
        }
        const std::regex authCode("[0-9A-HJ-NP-Z]{6}"); // six letters and digits, no I or O
        EXPECT_TRUE(original || code == "Balance" || std::regex_match(r.Get("AuthCode"), authCode));
    }
    return answers;
}

} // namespace

// One request to a fresh component, kSale changed by the row or a whole document: each document,
// card, decline and field rule that needs no earlier record. RefNo defaults to the invoice.
TEST(SimOneRequest, OutcomeOfEachRule) {
    std::string open, close; // fields are found at any depth, without exhausting the stack
    for (int i = 0; i < 100000; ++i)
        open += "<a>", close += "</a>";
    const Step rules[] = {
        {"", " \r\n\t", "004001"},
        {"", "<TStream><Transaction><Memo>" + std::string(50u << 20, 'x') + "</Memo></Transaction></TStream>",
         "004002"},
        {"", "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Transaction>", "004003"},
        {"", "<RStream><Transaction/></RStream>", "004004"},
        {"", "<TStream/><TStream/>", "004004"},
        {"", "<TStream></TStream>", "004004"},
        {"", "<TStream><Transaction/><Transaction/></TStream>", "004004"},
        {"", "<TStream><Payment/></TStream>", "004004"},
        {"", "<TStream><Transaction/></TStream>", "004005"},
        // The first TranCode in document order counts.
        {"",
         "<TStream><Corvane>" + open + "<TranCode>EchoTest</TranCode>" + close +
             "<TranCode>Bogus</TranCode></Corvane></TStream>",
         "Success", "TextResponse=Echo test OK"},
        {"Sale", "Purchase=12.34; Gratuity=1.50; OperatorID=ANNA", "Approved",
         "AcctNo=XXXX1111; ExpDate=XXXX; CardType=VISA; TranCode=Sale; CaptureStatus=Captured; RefNo=1; "
         "OperatorID=ANNA; Gratuity=1.50; Authorize=13.84"},
        {"Sale", "AcctNo=6011000990139424", "Approved", "CardType=DCVR; AcctNo=XXXX9424"},
        {"Sale", "AcctNo=371449635398431; ExpDate=0529", "Approved", "CardType=AMEX"},
        {"Sale", "Track2=;5454545454545454=2812101000000000?", "Approved", "AcctNo=XXXX5454"},
        {"Sale", "Purchase=105.50", "Approved"}, // only the cents decide
        {"Sale", "TranType=credit; TranCode=sale", "Approved", "TranCode=Sale"},
        {"Sale", "Memo=R&D lunch", "Approved", "Memo=R&D lunch"}, // a bare ampersand still reads
        {"Sale", "Memo=Fish&amp;Chips &lt;table 4&gt;; UserTraceData=run-17", "Approved", // escaped
         "Memo=Fish&Chips <table 4>; UserTraceData=run-17"},
        {"Return", "", "Approved", "TranCode=Return; Purchase=1.00"},
        {"Sale", "Purchase=12.05", "DECLINE"},
        {"Sale", "AcctNo=4000000000000002", "DECLINE"},
        {"Sale", "ExpDate=1219", "EXPIRED CARD"},
        {"Return", "Purchase=7.05", "DECLINE"},
        {"PreAuth", "Purchase=20.05", "DECLINE"},
        {"Balance", "TranType=PrePaid; AcctNo=6050110010000002", "DECLINE"},
        {"Sale", "Purchase=0.00", "004006", "TextResponse=Purchase must be more than 0.00"},
        {"Sale", "Purchase=12.345", "004006"},
        {"Sale", "Purchase=-5.00", "004006"},
        {"Sale", "Purchase=100000.00", "004006"},
        {"Sale", "AcctNo=4111111111111112", "004006"}, // check digit
        {"Sale", "InvoiceNo=A12", "004006"},
        {"Sale", "Memo=" + std::string(257, 'm'), "004006"},
        {"Sale", "Purchase=", "004005", "TextResponse=Missing Purchase"},
        {"Sale", "ExpDate=", "004005"}, // a keyed credit card needs one
        {"Sale", "AcctNo=", "004005"},
        {"Sale", "MerchantID=", "004005"},
        {"Return", "Purchase=", "004005"},
        {"PreAuth", "Purchase=", "004005"},
        {"Balance", "TranType=; AcctNo=", "004005"}, // PrePaid by default
        {"Balance", "AcctNo=6050110010012345", "004007"},
        {"Sale", "TranType=Debit", "004007"},
        {"Refund", "UserTraceData=t-1", "004007", "UserTraceData=t-1"}, // errors echo it too
        {"Sale", "TranCode=BatchClose", "004007",
         "TextResponse=TranCode BatchClose belongs in an <Admin> block"},
        {"Sale", "Memo=a < b", "004003"}, // a bare '<' cannot
    };
    for (const Step& rule : rules)
        Play({rule});
}

TEST(SimPreAuth, CaptureWithinTheAuthorizationAndOnlyOnce) {
    Play({
        {"PreAuth", "Purchase=; Authorize=40.00", "Approved", "CaptureStatus=Authorized; Authorize=40.00"},
        {"BatchSummary", "", "Success", "BatchItemCount=0"}, // an open hold is not in the batch
        {"PreAuthCapture", "RecordNo=#0; Purchase=45.00; Gratuity=3.01", "OVER AUTH LIMIT"},
        {"PreAuthCapture", "RecordNo=#0; Purchase=40.00; Gratuity=8.00", "Approved",
         "CaptureStatus=Captured; Authorize=40.00"},
        {"BatchSummary", "", "Success", "SaleAmount=48.00"},
        {"PreAuthCapture", "RecordNo=#0; Purchase=40.00", "005003"},
        {"PreAuthCapture", "RecordNo=#0", "004005"}, // no Purchase
    });
}

TEST(SimVoid, VoidSaleUsesTheRecordAndChecksEveryCarriedToken) {
    Play({
        {"Sale", "Purchase=25.50; InvoiceNo=4001", "Approved"},
        {"VoidSale", "RecordNo=#0; RefNo=9999", "005002",
         "TextResponse=RefNo does not match the original transaction"},
        {"VoidSale", "RecordNo=#0; AcqRefData=b001c000099dXXXXXX", "005002"},
        {"VoidSale", "RecordNo=#0; ProcessData=|00|000000000000", "005002"},
        {"VoidSale", "RecordNo=#0; AuthCode=ZZZZZZ", "005002"},
        {"VoidSale", "RecordNo=#0; Purchase=25.00", "005002"},
        {"VoidSale", "RecordNo=#0; MerchantID=OTHER1", "005001"}, // another merchant's
        {"VoidSale", "", "004005"},
        {"VoidSale", "RecordNo=#0; RefNo=4001; AuthCode=#0; AcqRefData=#0; ProcessData=#0", "Approved",
         "CaptureStatus=Voided"},
        {"VoidSale", "RecordNo=#0", "005003"},
        {"BatchSummary", "", "Success", "BatchItemCount=0; VoidCount=1"},
    });
}

TEST(SimVoid, VoidReturnAndTheSettledDecline) {
    Play({
        {"Sale", "Purchase=9.00", "Approved"},
        {"Return", "Purchase=4.00", "Approved"},
        {"VoidReturn", "RecordNo=#0", "005003"},
        {"VoidSale", "RecordNo=#1", "005003", "TextResponse=Record is a return: use VoidReturn"},
        {"Return", "Purchase=6.00", "Approved"},
        {"VoidReturn", "RecordNo=#4", "Approved"},
        {"BatchClose", "", "Success"},
        {"VoidReturn", "RecordNo=#1", "ALREADY SETTLED"},
    });
}

TEST(SimAdjust, ReplacesTheGratuityOfACapturedSale) {
    Play({
        {"Sale", "Purchase=10.00", "Approved"},
        {"Adjust", "RecordNo=#0; Gratuity=2.00; Purchase=10.00", "Approved",
         "Gratuity=2.00; Authorize=12.00"},
        {"Adjust", "RecordNo=#0; Gratuity=3.00", "Approved"},
        {"Adjust", "RecordNo=#0; Gratuity=10.01", "GRATUITY OVER LIMIT"},
        {"Adjust", "RecordNo=#0", "004005"},
        {"Return", "", "Approved"},
        {"Adjust", "RecordNo=#5; Gratuity=1.00", "005003"},
        {"BatchSummary", "", "Success", "SaleAmount=13.00; GratuityAmount=3.00"},
        {"BatchClose", "", "Success"},
        {"Adjust", "RecordNo=#0; Gratuity=1.00", "ALREADY SETTLED"},
    });
}

TEST(SimBalance, GiftCardBalanceFollowsSalesReturnsAndVoids) {
    const std::string gift = "TranType=PrePaid; AcctNo=6050110010012345";
    Play({
        {"Balance", gift, "Approved", "Balance=100.00; CardType=GIFT"},
        {"Sale", gift + "; Purchase=15.00", "Approved", "Balance=85.00"},
        {"Balance", gift, "Approved", "Balance=85.00"},
        {"Sale", gift + "; Purchase=90.00", "INSUFFICIENT FUNDS", "Balance=85.00"},
        {"VoidSale", "RecordNo=#1", "Approved"},
        {"Balance", gift, "Approved", "Balance=100.00"},
    });
}

TEST(SimBatch, SummaryTotalsAndCloseEmptiesTheBatch) {
    Play({
        {"Sale", "Purchase=10.00", "Approved"},
        {"Adjust", "RecordNo=#0; Gratuity=2.00", "Approved"},
        {"Sale", "Purchase=25.50", "Approved"},
        {"VoidSale", "RecordNo=#2", "Approved"},
        {"Sale", "Purchase=12.05", "DECLINE"}, // not in the batch
        {"Return", "Purchase=5.00", "Approved"},
        {"Sale", "MerchantID=770099887766; Purchase=7.00", "Approved"}, // another merchant's batch
        {"BatchSummary", "", "Success",
         "ResponseOrigin=Processor; BatchNo=1; BatchItemCount=2; SaleCount=1; SaleAmount=12.00; "
         "ReturnAmount=5.00; VoidCount=1; NetBatchTotal=7.00; TextResponse=Batch 1: 2 items, net 7.00"},
        {"BatchClose", "", "Success", "NetBatchTotal=7.00; TextResponse=Batch 1 closed: 2 items, net 7.00"},
        {"BatchSummary", "", "Success", "BatchNo=2; BatchItemCount=0; NetBatchTotal=0.00"},
        {"BatchSummary", "MerchantID=770099887766", "Success", "SaleAmount=7.00"},
        {"BatchPurge", "", "004007"},
        {"BatchClose", "MerchantID=", "004005"},
    });
}

// The device signs approved sales that ask for it, and GetSignature; the client does neither.
TEST(SimSignature, DevicePadSignsOnRequestOnly) {
    const std::deque<Response> device =
        Play({{"Sale", "SignatureRequested=Yes", "Approved"},
              {"Sale", "", "Approved", "Signature="},
              {"Sale", "SignatureRequested=No", "Approved", "Signature="},
              {"Sale", "Purchase=1.05; SignatureRequested=Yes", "DECLINE", "Signature="},
              {"GetSignature", "", "Success", "TextResponse=Signature captured"}},
             ESimKind::Device);
    Play({{"Sale", "SignatureRequested=Yes", "Approved", "Signature="}, {"GetSignature", "", "004008"}});
    for (const Response* signed_ : {&device[0], &device[4]}) {
        // Three strokes of pen positions "x,y:" within the promised bounds, each ended by "#,#:".
        const std::string sig = signed_->Get("Signature");
        EXPECT_TRUE(std::regex_match(sig, std::regex(R"(((\d+,\d+:)+#,#:){3})"))) << sig;
        const std::regex point(R"((\d+),(\d+):)");
        for (std::sregex_iterator it(sig.begin(), sig.end(), point), end; it != end; ++it) {
            const int x = std::stoi((*it)[1]), y = std::stoi((*it)[2]);
            EXPECT_TRUE(x >= 10 && x <= 420 && y >= 10 && y <= 120) << it->str();
        }
        EXPECT_GT(std::distance(std::sregex_iterator(sig.begin(), sig.end(), point), std::sregex_iterator()),
                  20);
    }
}

// The record store: records are found by RecordNo, and a full store forgets the oldest settled
// record, never an open one.
TEST(SimLimits, AFullStoreForgetsTheOldestSettledRecordOnly) {
    tvxsim::CSimComponent component(ESimKind::Client);
    auto send = [&](const std::string& code, const std::string& extra = "") {
        return Submit(component, StepRequest(code, StepFields(code, extra)));
    };
    const std::string oldest = send("Sale").Get("RecordNo"), hold = send("PreAuth").Get("RecordNo");
    const std::string third = send("Sale").Get("RecordNo");
    const std::string quickSale = Request("Transaction", F(kSale));
    for (int i = 3; i < 10000; ++i)
        Submit(component, quickSale);

    ExpectOutcome(send("Sale"), "005004");
    EXPECT_EQ(send("BatchSummary").Get("SaleCount"), "9999") << "the refused sale is not in the batch";
    send("BatchClose");
    const std::string newest = send("Sale").Get("RecordNo");
    ASSERT_FALSE(newest.empty());
    ExpectOutcome(send("VoidSale", "RecordNo=" + oldest), "005001");
    ExpectOutcome(send("VoidSale", "RecordNo=" + third), "ALREADY SETTLED");
    ExpectOutcome(send("PreAuthCapture", "Purchase=1.00; RecordNo=" + hold), "Approved");
    ExpectOutcome(send("VoidSale", "RecordNo=" + newest), "Approved");
    // Only the whole RecordNo names a record: the same sequence under another hash does not.
    ExpectOutcome(send("VoidSale", "RecordNo=R00000000" + newest.substr(9)), "005001");
    ExpectOutcome(send("VoidSale", "RecordNo=" + newest.substr(0, 14)), "005001");
}

// Answers keep their exact layout (CR LF after every line, a TAB per level, text escaped) and their
// tokens, so that scripts and known-good files made with earlier releases still match.
TEST(SimAnswerText, SaleVoidAndErrorByteForByte) {
    tvxsim::CSimComponent sim(ESimKind::Client);
    const std::string merchant = std::string("MerchantID=") + kMerchant;
    const struct {
        std::string fields;
        std::vector<const char*> lines;
    } cases[] = {
        {kSale + std::string("; Memo=Fish&amp;Chips &lt;hot&gt;; Gratuity=0.50; Zip=30309; UserTraceData=t1"),
         {"<?xml version=\"1.0\"?>",
          "<RStream>",
          "\t<CmdResponse>",
          "\t\t<ResponseOrigin>Processor</ResponseOrigin>",
          "\t\t<KVTXReturnCode>000000</KVTXReturnCode>",
          "\t\t<CmdStatus>Approved</CmdStatus>",
          "\t\t<TextResponse>APPROVED</TextResponse>",
          "\t\t<UserTraceData>t1</UserTraceData>",
          "\t</CmdResponse>",
          "\t<TranResponse>",
          "\t\t<MerchantID>880012345678</MerchantID>",
          "\t\t<TerminalID>001</TerminalID>",
          "\t\t<OperatorID>TEST</OperatorID>",
          "\t\t<TranType>Credit</TranType>",
          "\t\t<TranCode>Sale</TranCode>",
          "\t\t<AcctNo>XXXX1111</AcctNo>",
          "\t\t<ExpDate>XXXX</ExpDate>",
          "\t\t<CardType>VISA</CardType>",
          "\t\t<RefNo>1</RefNo>",
          "\t\t<InvoiceNo>1</InvoiceNo>",
          "\t\t<Memo>Fish&amp;Chips &lt;hot&gt;</Memo>",
          "\t\t<AuthCode>VZFU5U</AuthCode>",
          "\t\t<CaptureStatus>Captured</CaptureStatus>",
          "\t\t<AVSResult>N</AVSResult>",
          "\t\t<Amount>",
          "\t\t\t<Purchase>1.00</Purchase>",
          "\t\t\t<Authorize>1.50</Authorize>",
          "\t\t\t<Gratuity>0.50</Gratuity>",
          "\t\t</Amount>",
          "\t\t<AcqRefData>b001c000001dVZFU5U</AcqRefData>",
          "\t\t<ProcessData>|00|718577725527</ProcessData>",
          "\t\t<RecordNo>R92083E4D000001</RecordNo>",
          "\t</TranResponse>",
          "</RStream>"}},
        {merchant + "; TranCode=VoidSale; RecordNo=R92083E4D000001; AcqRefData=b001c000001dVZFU5U; "
                    "ProcessData=|00|718577725527; Purchase=1.00",
         {"<?xml version=\"1.0\"?>",
          "<RStream>",
          "\t<CmdResponse>",
          "\t\t<ResponseOrigin>Processor</ResponseOrigin>",
          "\t\t<KVTXReturnCode>000000</KVTXReturnCode>",
          "\t\t<CmdStatus>Approved</CmdStatus>",
          "\t\t<TextResponse>APPROVED</TextResponse>",
          "\t\t<UserTraceData></UserTraceData>",
          "\t</CmdResponse>",
          "\t<TranResponse>",
          "\t\t<MerchantID>880012345678</MerchantID>",
          "\t\t<TerminalID>001</TerminalID>",
          "\t\t<OperatorID>TEST</OperatorID>",
          "\t\t<TranType>Credit</TranType>",
          "\t\t<TranCode>VoidSale</TranCode>",
          "\t\t<AcctNo>XXXX1111</AcctNo>",
          "\t\t<ExpDate>XXXX</ExpDate>",
          "\t\t<CardType>VISA</CardType>",
          "\t\t<RefNo>1</RefNo>",
          "\t\t<InvoiceNo>1</InvoiceNo>",
          "\t\t<Memo>Fish&amp;Chips &lt;hot&gt;</Memo>",
          "\t\t<AuthCode>VZFU5U</AuthCode>",
          "\t\t<CaptureStatus>Voided</CaptureStatus>",
          "\t\t<Amount>",
          "\t\t\t<Purchase>1.00</Purchase>",
          "\t\t\t<Authorize>1.50</Authorize>",
          "\t\t\t<Gratuity>0.50</Gratuity>",
          "\t\t</Amount>",
          "\t\t<AcqRefData>b001c000001dVZFU5U</AcqRefData>",
          "\t\t<ProcessData>|00|718577725527</ProcessData>",
          "\t\t<RecordNo>R92083E4D000001</RecordNo>",
          "\t</TranResponse>",
          "</RStream>"}},
        {merchant + "; TranCode=Bogus&amp;&lt;&gt;",
         {"<?xml version=\"1.0\"?>", "<RStream>", "\t<CmdResponse>",
          "\t\t<ResponseOrigin>Client</ResponseOrigin>", "\t\t<KVTXReturnCode>004007</KVTXReturnCode>",
          "\t\t<CmdStatus>Error</CmdStatus>",
          "\t\t<TextResponse>Unknown TranCode in &lt;Transaction&gt;: Bogus&amp;&lt;&gt;</TextResponse>",
          "\t\t<UserTraceData></UserTraceData>", "\t</CmdResponse>", "</RStream>"}},
    };
    for (const auto& c : cases) {
        std::string expected;
        for (const char* line : c.lines)
            expected.append(line).append("\r\n");
        EXPECT_EQ(Submit(sim, Request("Transaction", F(c.fields))).Xml(), expected) << c.fields;
    }
}
