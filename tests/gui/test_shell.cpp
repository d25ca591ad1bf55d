// Start-up, the main window's controls, About, Exit and the message box.
#include <QtWidgets>

#include "GuiFixture.h"
#include "app/AboutDlg.h"
#include "app/TranvexApp.h"

namespace {

using StartTest = GuiFixture;
using ShellTest = WindowTest;

TEST_F(StartTest, TheMainWindowRunsOnlyOnceTheDisclaimerIsAccepted) {
    for (int answer : {IDCANCEL, IDOK}) {
        Texts shown;
        CDialog::ModalHookGuard hook([&](CDialog& dlg) {
            shown.push_back(dlg.windowTitle().toStdString());
            if (auto* main = dynamic_cast<CTranvexDlg*>(&dlg)) {
                EXPECT_EQ(main->GetDlgItemText(IDC_XML_PATH), (m_dir / "TStream.xml").string());
                return IDCANCEL;
            }
            EXPECT_NE(dlg.GetDlgItemText(IDC_DISCLAIMER_TEXT).find("as is"), std::string::npos);
            auto* agree = qobject_cast<QPushButton*>(dlg.GetDlgItem(IDOK));
            EXPECT_EQ(agree->text().toStdString(), "I AGREE");
            EXPECT_TRUE(agree->isDefault());
            return answer;
        });
        EXPECT_EQ(CTranvexApp().InitInstance(), FALSE);
        EXPECT_TRUE(m_messages.empty());
        EXPECT_EQ(shown, (answer == IDOK ? Texts{"Disclaimer", "Tranvex"} : Texts{"Disclaimer"}));
        EXPECT_EQ(std::filesystem::exists(m_dir / "CORVANE_LOGS"), answer == IDOK);
    }
    EXPECT_NE(LogContaining("Startup Tranvex Version 4.10").size(), 0u);
}

// What the operator meets in the window before any command: a fixed window with every control whole
// inside it, the control sites out of sight, the display-only request boxes (the port: AdminTest).
TEST_F(ShellTest, TheWindowIsFixedAndShowsEveryControlWhole) {
    EXPECT_EQ(m_dlg->minimumSize(), m_dlg->maximumSize());
    EXPECT_FALSE(m_dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    int shown = 0;
    for (QWidget* control : m_dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        shown += !control->isHidden();
        EXPECT_TRUE(control->isHidden() || m_dlg->rect().contains(control->geometry()))
            << control->metaObject()->className() << " " << control->objectName().toStdString();
    }
    EXPECT_GE(shown, 60);
    for (int id : {IDC_CLIENT_CONTROL, IDC_DEVICE_CONTROL})
        EXPECT_TRUE(m_dlg->GetDlgItem(id)->isHidden()) << id;
    for (int id : {IDC_REQ_TRANTYPE, IDC_REQ_GRATUITY})
        EXPECT_FALSE(m_dlg->GetDlgItem(id)->isEnabled()) << id;
}

// The window's menu item sends command 16 (low bits ignored); other system commands open nothing.
TEST_F(ShellTest, AboutOpensFromTheWindowMenuThroughCommand16) {
    Texts labels;
    CDialog::ModalHookGuard hook([&](CDialog& dlg) {
        EXPECT_NE(dynamic_cast<CAboutDlg*>(&dlg), nullptr);
        for (auto* label : dlg.findChildren<QLabel*>())
            labels.push_back(label->text().toStdString());
        return IDOK;
    });
    ASSERT_NE(m_dlg->m_pSysMenu, nullptr);
    for (QAction* action : m_dlg->m_pSysMenu->actions())
        if (action->text() == "&About Tranvex...")
            action->trigger();
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Tranvex Version 4.1"), labels.end());
    labels.clear();
    m_dlg->OnSysCommand(0xF020, 0);
    EXPECT_TRUE(labels.empty());
    m_dlg->OnSysCommand(0x0013, 0);
    EXPECT_FALSE(labels.empty());
}

TEST_F(ShellTest, ExitLogsShutdownAndEscapeClosesWithoutIt) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(m_dlg.get(), &escape);
    EXPECT_EQ(m_dlg->GetModalResult(), IDCANCEL);
    EXPECT_TRUE(LogEntries().empty());
    MakeWindow();
    Click(IDC_EXIT);
    EXPECT_EQ(m_dlg->GetModalResult(), IDCANCEL);
    EXPECT_EQ(LogEntries(), Texts{"Shutdown Tranvex Version 4.10"});
}

// The viewers' box shows XML as it is: four-character tab stops, lines broken only at the text's own
// breaks, a scroll bar once a line is wider than the screen; all of it copies back unchanged.
TEST(MessageBoxTest, TextKeepsItsLinesAndTabsAndCopiesUnchanged) {
    const CString xml =
        "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t<Transaction>\r\n\t\t<AcctNo>4111111111111111</AcctNo>" +
        CString(3000, 'x') + "\r\n\t</Transaction>\r\n</TStream>";
    CMessageBoxDlg box(xml, MB_OK);
    QPlainTextEdit* view = box.TextView();
    EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_DOUBLE_EQ(view->tabStopDistance(), 4 * QFontMetricsF(view->font()).averageCharWidth());
    EXPECT_EQ(view->document()->blockCount(), 6);
    box.show();
    EXPECT_LE(box.width(), QGuiApplication::primaryScreen()->availableGeometry().width());
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    view->selectAll();
    view->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), xml);
}

} // namespace
