// Run It, Run It and Load Next and the XML viewers, against fake components.
#include "GuiFixture.h"

namespace {

// One transaction: the unknown Admin attribute ends the scan.
const char* const kScript =
    "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction>\n<MerchantID>395347308=E2ETKN</MerchantID>\n"
    "<TranCode>Sale</TranCode>\n<Amount><Purchase>10.00</Purchase></Amount>\n"
    "</Transaction>\n<Admin id=\"x\">\n</TStream>\n";

// What Run It sends for it while no box holds anything.
const char* const kRequest =
    "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Transaction>\r\n"
    "\t\t<MerchantID>395347308=E2ETKN</MerchantID>\r\n\t\t<TranCode>Sale</TranCode>\r\n"
    "\t\t<Amount>\r\n\t\t\t<Purchase>10.00</Purchase>\r\n\t\t</Amount>\r\n"
    "\t</Transaction>\r\n</TStream>\r\n";

const char* const kApproved = "<?xml version=\"1.0\"?>\r\n<RStream>\r\n<CmdResponse>\r\n"
                              "<ResponseOrigin>Processor</ResponseOrigin><CmdStatus>Approved</CmdStatus>"
                              "<TextResponse>AP 100% %s %n</TextResponse></CmdResponse>\r\n<TranResponse>\r\n"
                              "<RefNo>0042</RefNo><AuthCode>A12345</AuthCode>"
                              "<Amount><Purchase>10.00</Purchase><Authorize>10.00</Authorize></Amount>"
                              "<AcqRefData>aEb001</AcqRefData><ProcessData>|17|410100700000</ProcessData>"
                              "<RecordNo>REC-1</RecordNo><Balance>85.00</Balance></TranResponse>\r\n"
                              "</RStream>\r\n";

class RunItTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        m_client->answer = [](int, const DispArgs&) { return std::string(kApproved); };
        m_device->answer = m_client->answer;
    }
    // Empty when nothing was called, so that a fault fails the test instead of ending the process.
    std::string LastRequest(const tvxtest::SFakeState& state) {
        return state.calls.empty() ? std::string() : std::get<std::string>(state.calls.back().args.at(0));
    }
};

// Without a target: the warning, the request and the failure logged, no call, no last response.
// Then each target gets its own DISPID with the fixed arguments, and the response fills the twelve
// boxes and becomes the last response.
TEST_F(RunItTest, EachTargetGetsItsOwnDispidAndTheResponseFillsTheBoxes) {
    LoadScript(kScript);
    m_dlg->m_strLastResponse = "older";
    Click(IDC_RUN_IT);
    EXPECT_EQ(TakeMessages(), Texts{"Please Select a Valid OCX Control to Target!"}); // and no call (below)
    EXPECT_EQ(m_dlg->m_strLastResponse, "");

    m_dlg->SetDlgItemText(IDC_RESP_GRATUITY, "stale");
    Click(IDC_TARGET_CLIENT);
    Click(IDC_RUN_IT);
    // clang-format off
    const std::pair<int, const char*> boxes[] = {
        {IDC_RESP_REFNO, "0042"},         {IDC_RESP_AUTHCODE, "A12345"},        {IDC_RESP_ORIGIN, "Processor"},
        {IDC_RESP_CMDSTATUS, "Approved"}, {IDC_RESP_TEXT, "AP 100% %s %n"},     {IDC_RESP_PURCHASE, "10.00"},
        {IDC_RESP_AUTHORIZE, "10.00"},    {IDC_RESP_ACQREFDATA, "aEb001"},      {IDC_RESP_RECORDNO, "REC-1"},
        {IDC_RESP_BALANCE, "85.00"},      {IDC_RESP_PROCESSDATA, "|17|410100700000"},
        {IDC_RESP_GRATUITY, ""}, // missing elements clear their boxes
    };
    // clang-format on
    for (auto [id, value] : boxes)
        EXPECT_EQ(Box(id), value) << id;
    Click(IDC_VIEW_LAST_XML);
    EXPECT_EQ(TakeMessages(), Texts{kApproved});
    // Request, then response, verbatim (percent signs too), each a record of its own.
    EXPECT_EQ(LogEntries(), (Texts{kRequest, "Invalid OCX Control Target", kRequest, kApproved}));

    Click(IDC_TARGET_DEVICE);
    Click(IDC_RUN_IT);
    ASSERT_EQ(m_client->calls.size(), 1u);
    ASSERT_EQ(m_device->calls.size(), 1u);
    EXPECT_EQ(m_client->calls[0].dispid, 1);
    EXPECT_EQ(m_device->calls[0].dispid, 8);
    DispArgs fixed{std::string(kRequest), std::int16_t(0), std::string(), std::string("TRANVEX")};
    EXPECT_EQ(m_client->calls[0].args, fixed);
    std::string& carried = std::get<std::string>(fixed[0]); // with the client's answer's tokens
    carried.insert(carried.find("\t</Transaction>"),
                   "\t\t<AcqRefData>aEb001</AcqRefData>\r\n\t\t<ProcessData>|17|"
                   "410100700000</ProcessData>\r\n\t\t<RecordNo>REC-1</RecordNo>\r\n");
    EXPECT_EQ(m_device->calls[0].args, fixed);
    EXPECT_TRUE(m_messages.empty());
}

// A failed control call and a response that does not parse: the message, no box changed, no last
// response (that the window goes on working after a failed call: ComponentChoiceTest).
TEST_F(RunItTest, AFailedCallOrAnAnswerThatDoesNotParseIsReportedAndChangesNoBox) {
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, "Member not found."}, // the answer (none: the call fails), the start of the message
        {"<RStream><Oops></RStream>", "PArsing Response->XML Parse Error at line#:1\r\n"},
    };
    LoadScript(kScript);
    Click(IDC_TARGET_CLIENT);
    Texts logged;
    for (auto [answer, message] : cases) {
        m_dlg->SetDlgItemText(IDC_RESP_REFNO, "kept");
        m_client->answer = [answer = answer](int, const DispArgs&) {
            return answer ? std::string(answer) : throw CDispatchError("Member not found.");
        };
        Click(IDC_RUN_IT);
        const Texts messages = TakeMessages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind(message, 0), 0u) << messages[0];
        EXPECT_EQ(Box(IDC_RESP_REFNO), "kept");
        EXPECT_EQ(m_dlg->m_strLastResponse, "");
        logged.push_back(kRequest); // and the answer, when there is one
        if (answer)
            logged.push_back(answer);
        EXPECT_EQ(LogEntries(), logged);
    }
}

// Edited request boxes and the carried response boxes go into the request, each once; View Updated
// XML shows what Run It sends.
TEST_F(RunItTest, EditedBoxesGoIntoTheRequestAndASecondRunDoesNotDuplicate) {
    LoadScript(kScript);
    Click(IDC_TARGET_CLIENT);
    m_dlg->SetDlgItemText(IDC_REQ_REFNO, "77");
    m_dlg->SetDlgItemText(IDC_REQ_PURCHASE, "12.34");
    m_dlg->SetDlgItemText(IDC_REQ_ACQREFDATA, "ignored: request column");
    m_dlg->SetDlgItemText(IDC_RESP_RECORDNO, "carried");
    Click(IDC_RUN_IT);
    std::string expected = std::string(kRequest).replace(std::string(kRequest).find("10.00"), 5, "12.34");
    expected.insert(expected.find("\t</Transaction>"),
                    "\t\t<RefNo>77</RefNo>\r\n\t\t<RecordNo>carried</RecordNo>\r\n");
    EXPECT_EQ(LastRequest(*m_client), expected);

    // The response filled the response column; the next run carries its tokens and edits once.
    m_dlg->SetDlgItemText(IDC_REQ_REFNO, "78");
    Click(IDC_VIEW_UPDATED_XML);
    Click(IDC_RUN_IT);
    expected.replace(expected.find("77"), 2, "78").replace(expected.find("carried"), 7, "REC-1");
    expected.insert(expected.find("\t</Transaction>"), "\t\t<AcqRefData>aEb001</AcqRefData>\r\n"
                                                       "\t\t<ProcessData>|17|410100700000</ProcessData>\r\n");
    EXPECT_EQ(LastRequest(*m_client), expected);
    EXPECT_EQ(m_messages, Texts{expected});
}

// Before a script, the viewers' and Run It's messages. A block that does not parse is reported when
// loaded, the boxes keep what they showed, Run It then sends only the declaration and View XML shows
// the block as scripted; Load Next steps past it.
TEST_F(RunItTest, ViewersAndABlockThatDoesNotParse) {
    for (int button : {IDC_RUN_IT, IDC_VIEW_XML, IDC_VIEW_UPDATED_XML, IDC_VIEW_LAST_XML})
        Click(button);
    EXPECT_EQ(TakeMessages(), (Texts{"Something went wrong.", "Something went wrong.",
                                     "Failed - No XML Document Loaded!", ""}));
    LoadScript("<?xml version=\"1.0\"?>\n<TStream>\n<Transaction><RefNo>first</RefNo></Transaction>\n"
               "<Transaction>\n<RefNo>broken</Refno>\n</Transaction>\n"
               "<Transaction><RefNo>third</RefNo></Transaction>\n</TStream>\n");
    Click(IDC_LOAD_NEXT);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(TakeMessages()[0].rfind("XML Parse Error at line#:4\r\n", 0), 0u);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "first");
    Click(IDC_TARGET_CLIENT);
    m_dlg->SetDlgItemText(IDC_REQ_REFNO, "typed");
    Click(IDC_RUN_IT);
    ASSERT_EQ(m_client->calls.size(), 1u);
    EXPECT_EQ(LastRequest(*m_client), "<?xml version=\"1.0\"?>\r\n");
    Click(IDC_VIEW_XML);
    EXPECT_EQ(m_messages.back(), m_dlg->m_arrTransactions[1]);
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "third");
}

} // namespace
