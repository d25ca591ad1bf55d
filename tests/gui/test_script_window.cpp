// The script commands on the real window: reload, navigation, Browse/Load and copy-back.
#include <QLineEdit>

#include "GuiFixture.h"
#include "platform/FileDialog.h"

namespace {

// One block of each kind.
const char* const kThreeBlocks =
    "<?xml version=\"1.0\"?>\n<TStream>\n  <Transaction>\n"
    "    <TranCode>Sale</TranCode><RefNo>1</RefNo><RefNo>one-b</RefNo>\n"
    "    <Amount><Purchase>1.00</Purchase></Amount>\n  </Transaction>\n"
    "  <Admin>\n    <TranCode>BatchSummary</TranCode><TranType>Credit</TranType>\n  </Admin>\n"
    "  <Corvane>\n    <RefNo>3</RefNo><Gratuity>0.50</Gratuity><RecordNo>R3</RecordNo>\n  </Corvane>\n"
    "</TStream>\n";

using ScriptWindowTest = WindowTest;

TEST_F(ScriptWindowTest, ReloadShowsTheFirstTransactionAndNavigationStopsAtBothEnds) {
    LoadScript(kThreeBlocks);
    ASSERT_EQ(m_dlg->m_arrTransactions.size(), 3u);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "1"); // the first of two
    EXPECT_EQ(Box(IDC_REQ_PURCHASE), "1.00");
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "Sale");
    EXPECT_EQ(Box(IDC_REQ_GRATUITY), "");
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(TakeMessages(), Texts{"No Previous Transaction."});
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_TRANTYPE), "Credit");
    EXPECT_EQ(Box(IDC_REQ_REFNO), "");
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(Box(IDC_REQ_GRATUITY), "0.50");
    EXPECT_EQ(Box(IDC_REQ_RECORDNO), "R3");
    EXPECT_TRUE(TakeMessages().empty());
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(TakeMessages(), Texts{"No Next Transaction"});
    EXPECT_EQ(Box(IDC_REQ_REFNO), "3");
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "BatchSummary");

    // A missing file clears the boxes and leaves nothing to move to; an empty one ends too early.
    m_dlg->m_strXmlPath = (m_dir / "absent.xml").string();
    Click(IDC_RELOAD_FILE);
    EXPECT_EQ(TakeMessages(), Texts{"Unable to open file for reading."});
    EXPECT_TRUE(m_dlg->m_arrTransactions.empty());
    EXPECT_EQ(Box(IDC_REQ_TRANCODE), "");
    Click(IDC_LOAD_NEXT);
    Click(IDC_LOAD_PREV);
    EXPECT_EQ(TakeMessages(), (Texts{"No Next Transaction", "No Previous Transaction."}));
    LoadScript("");
    EXPECT_EQ(m_messages, (Texts{"Premature End-of-File", "No Next Transaction"}));
}

// Confirmed, the chosen path is taken and the working directory kept; cancelled, the current script
// reloads from its start. A typed path is not used until it is taken into the member.
TEST_F(ScriptWindowTest, BrowseLoadTakesTheChosenPathOrReloadsTheCurrentScript) {
    LoadScript(kThreeBlocks);
    Click(IDC_LOAD_NEXT);
    std::filesystem::create_directory(m_dir / "elsewhere");
    m_dlg->SetDlgItemText(IDC_SERVER_NAME, "typed-server");
    std::optional<CString> choice;
    CFileDialog::HookGuard hook([&](const CFileDialog& dlg) {
        EXPECT_EQ(dlg.QtFilter(), "XML Document (*.xml)");
        EXPECT_EQ(dlg.m_strFileName, "TStream.xml");
        std::filesystem::current_path(m_dir / "elsewhere"); // a dialog may move the working directory
        return choice;
    });
    Click(IDC_BROWSE_LOAD);
    EXPECT_EQ(m_dlg->m_nCurrent, 0);
    EXPECT_EQ(Box(IDC_REQ_REFNO), "1");

    m_dlg->SetDlgItemText(IDC_XML_PATH, (m_dir / "absent.xml").string());
    Click(IDC_RELOAD_FILE);
    EXPECT_EQ(m_dlg->m_arrTransactions.size(), 3u);

    WriteFile("other.xml",
              "<?xml version=\"1.0\"?>\n<TStream>\n<Admin><RefNo>other</RefNo></Admin>\n</TStream>\n");
    choice = (m_dir / "other.xml").string();
    Click(IDC_BROWSE_LOAD);
    EXPECT_EQ(std::filesystem::current_path(), m_dir);
    EXPECT_EQ(m_dlg->m_strXmlPath, *choice);
    EXPECT_EQ(Box(IDC_XML_PATH), *choice);
    EXPECT_EQ(m_dlg->m_strServerName, "typed-server");
    EXPECT_EQ(Box(IDC_REQ_REFNO), "other");
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ScriptWindowTest, CopyBackButtonsCopyResponseBoxesIntoRequestBoxes) {
    const struct {
        int button, from, to;
    } copies[] = {
        {IDC_COPY_REFNO, IDC_RESP_REFNO, IDC_REQ_REFNO},
        {IDC_COPY_AUTHCODE, IDC_RESP_AUTHCODE, IDC_REQ_AUTHCODE},
        {IDC_COPY_PURCHASE, IDC_RESP_PURCHASE, IDC_REQ_PURCHASE},
        {IDC_COPY_AUTHORIZE, IDC_RESP_AUTHORIZE, IDC_REQ_PURCHASE},
        {IDC_COPY_ACQREFDATA, IDC_RESP_ACQREFDATA, IDC_REQ_ACQREFDATA},
        {IDC_COPY_PROCESSDATA, IDC_RESP_PROCESSDATA, IDC_REQ_PROCESSDATA},
        {IDC_COPY_RECORDNO, IDC_RESP_RECORDNO, IDC_REQ_RECORDNO},
    };
    for (const auto& c : copies) {
        for (const std::string& value : {"value of " + std::to_string(c.from), std::string()}) {
            m_dlg->SetDlgItemText(c.from, value);
            m_dlg->SetDlgItemText(c.to, "old");
            Click(c.button);
            EXPECT_EQ(Box(c.to), value) << c.button; // an empty response box empties the request box
        }
    }
    EXPECT_TRUE(m_messages.empty());
}

// Bytes that are not UTF-8 and values past 32,767 characters come back unchanged from every kind of
// box until the operator edits them (the request keeps such bytes: the XML helper's test).
TEST_F(ScriptWindowTest, BoxesGiveBackTheBytesTheyWereGiven) {
    const CString latin1 = "caf\xE9", longValue(40000, 'v');
    m_dlg->m_editPingPort.LimitText(0);
    for (int box : {IDC_REQ_REFNO, IDC_RESP_TEXT, IDC_PING_PORT})
        for (const CString& value :
             {latin1, CString("caf\xC3\xA9"), longValue, CString("\xFF\xFE\r\nx\0y", 8), CString()}) {
            m_dlg->SetDlgItemText(box, value);
            EXPECT_EQ(Box(box), value) << box << ": " << value.substr(0, 20);
        }
    auto* refNo = qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_REQ_REFNO));
    for (const CString& value : {CString("caf\xC3\xA9"), latin1}) {
        m_dlg->SetDlgItemText(IDC_REQ_REFNO, value);
        EXPECT_EQ(refNo->text(), QString::fromUtf8("caf\xC3\xA9")); // shown as its characters
    }
    refNo->setText(refNo->text() + "s"); // typed by the operator: the box keeps its one byte per character
    EXPECT_EQ(Box(IDC_REQ_REFNO), "caf\xE9s");
}

} // namespace
