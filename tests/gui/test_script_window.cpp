// The script commands on the real window: reload, navigation, Browse/Load and copy-back.
#include <QLineEdit>

#include "GuiFixture.h"
#include "platform/FileDialog.h"
#include "res/resource.h"

namespace {

const char* const kThreeBlocks = "<?xml version=\"1.0\"?>\n"
                                 "<TStream>\n"
                                 "  <Transaction>\n"
                                 "    <TranCode>Sale</TranCode><RefNo>1</RefNo><RefNo>one-b</RefNo>\n"
                                 "    <Amount><Purchase>1.00</Purchase></Amount>\n"
                                 "  </Transaction>\n"
                                 "  <Admin>\n"
                                 "    <TranCode>BatchSummary</TranCode><TranType>Credit</TranType>\n"
                                 "  </Admin>\n"
                                 "  <Corvane>\n"
                                 "    <RefNo>3</RefNo><Gratuity>0.50</Gratuity><RecordNo>R3</RecordNo>\n"
                                 "  </Corvane>\n"
                                 "</TStream>\n";

class ScriptWindowTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        MakeWindow();
    }
};

TEST_F(ScriptWindowTest, ReloadShowsTheFirstTransactionAndNavigationStopsAtBothEnds) {
    LoadScript(kThreeBlocks);
    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(m_dlg->m_arrTransactions.size(), 3u);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "1"); // the first of two
    EXPECT_EQ(Box(IDC_REQ_PURCHASE), "1.00");
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "Sale");
    EXPECT_EQ(Box(IDC_REQ_GRATUITY), "");
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(m_messages, std::vector<std::string>{"No Previous Transaction."});
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_TRANTYPE), "Credit");
    EXPECT_EQ(Box(IDC_REQ_REFNO), "");
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_GRATUITY), "0.50");
    EXPECT_EQ(Box(IDC_REQ_RECORDNO), "R3");
    m_messages.clear();
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(m_messages, std::vector<std::string>{"No Next Transaction"});
    EXPECT_EQ(Box(IDC_REQ_REFNO), "3");
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "BatchSummary");
}

// Which files do not open (folders, devices) is the script file's own test.
TEST_F(ScriptWindowTest, MissingFileClearsTheBoxesAndLeavesNothingToMoveTo) {
    LoadScript(kThreeBlocks);
    m_messages.clear();
    m_dlg->m_strXmlPath = (m_dir / "absent.xml").string();
    Click(IDC_RELOAD_FILE);
    EXPECT_EQ(m_messages, std::vector<std::string>{"Unable to open file for reading."});
    EXPECT_TRUE(m_dlg->m_arrTransactions.empty());
    EXPECT_EQ(Box(IDC_REQ_REFNO), "");
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "");
    m_messages.clear();
    Click(IDC_LOAD_NEXT);
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(m_messages, (std::vector<std::string>{"No Next Transaction", "No Previous Transaction."}));

    m_messages.clear();
    LoadScript("");
    EXPECT_EQ(m_messages, (std::vector<std::string>{"Premature End-of-File", "No Next Transaction"}));
}

TEST_F(ScriptWindowTest, ABlockThatDoesNotParseIsReportedAndCanBeSteppedPast) {
    LoadScript("<?xml version=\"1.0\"?>\n<TStream>\n"
               "<Transaction><RefNo>first</RefNo></Transaction>\n"
               "<Transaction>\n<RefNo>broken</Refno>\n</Transaction>\n"
               "<Transaction><RefNo>third</RefNo></Transaction>\n"
               "</TStream>\n");
    ASSERT_EQ(m_dlg->m_arrTransactions.size(), 3u);
    Click(IDC_LOAD_NEXT);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].rfind("XML Parse Error at line#:4\r\n", 0), 0u) << m_messages[0];
    EXPECT_EQ(Box(IDC_REQ_REFNO), "first"); // boxes keep what they showed
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "third");
}

TEST_F(ScriptWindowTest, BrowseLoadConfirmedTakesThePathAndKeepsTheWorkingDirectory) {
    WriteFile("other.xml", kThreeBlocks);
    std::filesystem::create_directory(m_dir / "elsewhere");
    m_dlg->SetDlgItemText(IDC_SERVER_NAME, "typed-server");
    std::string filter;
    CFileDialog::HookGuard hook([&](const CFileDialog& dlg) -> std::optional<CString> {
        filter = dlg.QtFilter();
        EXPECT_EQ(dlg.m_strFileName, "TStream.xml");
        std::filesystem::current_path(m_dir / "elsewhere"); // a dialog may move the working directory
        return (m_dir / "other.xml").string();
    });
    Click(IDC_BROWSE_LOAD);
    EXPECT_EQ(filter, "XML Document (*.xml)");
    EXPECT_EQ(std::filesystem::current_path(), m_dir);
    EXPECT_EQ(m_dlg->m_strXmlPath, (m_dir / "other.xml").string());
    EXPECT_EQ(Box(IDC_XML_PATH), (m_dir / "other.xml").string());
    EXPECT_EQ(m_dlg->m_strServerName, "typed-server");
    EXPECT_EQ(m_dlg->m_arrTransactions.size(), 3u);
}

TEST_F(ScriptWindowTest, BrowseLoadCancelledReloadsTheCurrentScriptFromItsStart) {
    LoadScript(kThreeBlocks);
    Click(IDC_LOAD_NEXT);
    Click(IDC_LOAD_NEXT);
    ASSERT_EQ(m_dlg->m_nCurrent, 2);
    CFileDialog::HookGuard hook([](const CFileDialog&) -> std::optional<CString> { return std::nullopt; });
    Click(IDC_BROWSE_LOAD);
    EXPECT_EQ(m_dlg->m_nCurrent, 0);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "1");

    // A typed path is not used until it is taken into the member.
    m_dlg->SetDlgItemText(IDC_XML_PATH, (m_dir / "absent.xml").string());
    Click(IDC_RELOAD_FILE);
    EXPECT_EQ(m_dlg->m_arrTransactions.size(), 3u);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ScriptWindowTest, CopyBackButtonsCopyResponseBoxesIntoRequestBoxes) {
    struct Copy {
        int button, from, to;
    };
    const Copy copies[] = {
        {IDC_COPY_REFNO, IDC_RESP_REFNO, IDC_REQ_REFNO},
        {IDC_COPY_AUTHCODE, IDC_RESP_AUTHCODE, IDC_REQ_AUTHCODE},
        {IDC_COPY_PURCHASE, IDC_RESP_PURCHASE, IDC_REQ_PURCHASE},
        {IDC_COPY_AUTHORIZE, IDC_RESP_AUTHORIZE, IDC_REQ_PURCHASE},
        {IDC_COPY_ACQREFDATA, IDC_RESP_ACQREFDATA, IDC_REQ_ACQREFDATA},
        {IDC_COPY_PROCESSDATA, IDC_RESP_PROCESSDATA, IDC_REQ_PROCESSDATA},
        {IDC_COPY_RECORDNO, IDC_RESP_RECORDNO, IDC_REQ_RECORDNO},
    };
    for (const Copy& c : copies) {
        const std::string value = "value of " + std::to_string(c.from);
        m_dlg->SetDlgItemText(c.from, value);
        m_dlg->SetDlgItemText(c.to, "old");
        Click(c.button);
        EXPECT_EQ(Box(c.to), value) << c.button;
        // An empty response box empties the request box too.
        m_dlg->SetDlgItemText(c.from, "");
        Click(c.button);
        EXPECT_EQ(Box(c.to), "") << c.button;
    }
    EXPECT_TRUE(m_messages.empty());
}

// Bytes that are not UTF-8 and values past 32,767 characters come back unchanged from every kind of
// box until the operator edits them, and so reach the request that Run It sends.
TEST_F(ScriptWindowTest, BoxesGiveBackTheBytesTheyWereGiven) {
    const CString latin1 = "caf\xE9", utf8 = "caf\xC3\xA9", longValue(40000, 'v');
    m_dlg->m_editPingPort.LimitText(0);
    for (int box : {IDC_REQ_REFNO, IDC_RESP_TEXT, IDC_PING_PORT}) {
        for (const CString& value : {latin1, utf8, longValue, CString("\xFF\xFE\r\nx\0y", 8), CString()}) {
            m_dlg->SetDlgItemText(box, value);
            EXPECT_EQ(Box(box), value) << box << ": " << value.substr(0, 20);
        }
    }
    auto* refNo = qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_REQ_REFNO));
    m_dlg->SetDlgItemText(IDC_REQ_REFNO, utf8);
    EXPECT_EQ(refNo->text(), QString::fromUtf8("caf\xC3\xA9")); // shown as its characters
    m_dlg->SetDlgItemText(IDC_REQ_REFNO, latin1);
    EXPECT_EQ(refNo->text(), QString::fromUtf8("caf\xC3\xA9"));
    refNo->setText(refNo->text() + "s"); // typed by the operator: the box keeps its one byte per character
    EXPECT_EQ(Box(IDC_REQ_REFNO), "caf\xE9s");

    LoadScript("<?xml version=\"1.0\"?>\n<TStream>\n<Transaction><RefNo>caf\xE9</RefNo></Transaction>\n");
    m_dlg->SetDlgItemText(IDC_RESP_PROCESSDATA, longValue);
    Click(IDC_TARGET_CLIENT);
    Click(IDC_RUN_IT);
    ASSERT_EQ(m_client->calls.size(), 1u);
    const std::string request = std::get<std::string>(m_client->calls[0].args.at(0));
    EXPECT_NE(request.find("<RefNo>caf\xE9</RefNo>"), std::string::npos) << request.substr(0, 200);
    EXPECT_NE(request.find("<ProcessData>" + longValue + "</ProcessData>"), std::string::npos);
}

} // namespace
