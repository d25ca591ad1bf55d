// Start-up, the main window's controls, About, Exit and the message box.
#include <QClipboard>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <chrono>
#include <thread>

#include "GuiFixture.h"
#include "app/AboutDlg.h"
#include "app/TranvexApp.h"
#include "res/resource.h"

namespace {

class ShellTest : public GuiFixture {};

TEST_F(ShellTest, TheMainWindowRunsOnlyOnceTheDisclaimerIsAccepted) {
    for (int answer : {IDCANCEL, IDOK}) {
        std::vector<std::string> shown;
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
        CTranvexApp app;
        EXPECT_EQ(app.InitInstance(), FALSE);
        EXPECT_TRUE(m_messages.empty());
        if (answer == IDCANCEL) {
            EXPECT_EQ(shown, std::vector<std::string>{"Disclaimer"});
            EXPECT_FALSE(std::filesystem::exists(m_dir / "CORVANE_LOGS"));
        } else {
            EXPECT_EQ(shown, (std::vector<std::string>{"Disclaimer", "Tranvex"}));
            EXPECT_NE(LogContaining("Startup Tranvex Version 4.10").size(), 0u);
        }
    }
}

// What the operator meets in the window before any command: a fixed window with every control whole
// inside it, the control sites out of sight, the display-only request boxes, the five-character port.
TEST_F(ShellTest, TheWindowIsFixedAndShowsEveryControlWhole) {
    MakeWindow();
    EXPECT_EQ(m_dlg->minimumSize(), m_dlg->maximumSize());
    EXPECT_FALSE(m_dlg->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    int shown = 0;
    for (QWidget* control : m_dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isHidden())
            continue;
        ++shown;
        EXPECT_TRUE(m_dlg->rect().contains(control->geometry()))
            << control->metaObject()->className() << " " << control->objectName().toStdString();
    }
    EXPECT_GE(shown, 60);
    for (int id : {IDC_CLIENT_CONTROL, IDC_DEVICE_CONTROL})
        EXPECT_TRUE(m_dlg->GetDlgItem(id)->isHidden()) << id;
    for (int id : {IDC_REQ_TRANTYPE, IDC_REQ_GRATUITY})
        EXPECT_FALSE(m_dlg->GetDlgItem(id)->isEnabled()) << id;

    // The ping port takes five characters at most, typed or exchanged.
    EXPECT_EQ(qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_PING_PORT))->maxLength(), 5);
    m_dlg->m_strPingPort = "1234567";
    m_dlg->UpdateData(FALSE);
    EXPECT_EQ(m_dlg->GetDlgItemText(IDC_PING_PORT), "12345");
}

TEST_F(ShellTest, AboutOpensFromTheWindowMenuThroughCommand16) {
    MakeWindow();
    std::vector<std::string> labels;
    CDialog::ModalHookGuard hook([&](CDialog& dlg) {
        EXPECT_NE(dynamic_cast<CAboutDlg*>(&dlg), nullptr);
        for (auto* label : dlg.findChildren<QLabel*>())
            labels.push_back(label->text().toStdString());
        return IDOK;
    });
    ASSERT_NE(m_dlg->m_pSysMenu, nullptr);
    QAction* about = nullptr;
    for (QAction* action : m_dlg->m_pSysMenu->actions())
        if (action->text() == "&About Tranvex...")
            about = action;
    ASSERT_NE(about, nullptr);
    about->trigger();
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Tranvex Version 4.1"), labels.end());

    // Other system commands open nothing.
    labels.clear();
    m_dlg->OnSysCommand(0xF020, 0);
    EXPECT_TRUE(labels.empty());
    m_dlg->OnSysCommand(0x0013, 0); // low bits are ignored
    EXPECT_FALSE(labels.empty());
}

TEST_F(ShellTest, ExitLogsShutdownAndEscapeClosesWithoutIt) {
    MakeWindow();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(m_dlg.get(), &escape);
    EXPECT_EQ(m_dlg->GetModalResult(), IDCANCEL);
    EXPECT_TRUE(LogEntries().empty());

    MakeWindow();
    Click(IDC_EXIT);
    EXPECT_EQ(m_dlg->GetModalResult(), IDCANCEL);
    EXPECT_EQ(LogEntries(), std::vector<std::string>{"Shutdown Tranvex Version 4.10"});
}

TEST_F(ShellTest, LogDirectoryThatCannotBeMadeWarnsOnceAndStillOpens) {
    // A working directory that has been removed refuses new entries, even to root.
    std::filesystem::create_directory(m_dir / "gone");
    std::filesystem::current_path(m_dir / "gone");
    std::filesystem::remove(m_dir / "gone");
    m_dlg = std::make_unique<CTranvexDlg>();
    std::string shownPath;
    CDialog::ModalHookGuard hook([&](CDialog& dlg) {
        shownPath = dlg.GetDlgItemText(IDC_XML_PATH);
        return IDCANCEL;
    });
    EXPECT_EQ(m_dlg->DoModal(), IDCANCEL);
    EXPECT_EQ(m_messages, std::vector<std::string>{"Unable to create Log Directory - logging disabled!"});
    EXPECT_EQ(shownPath, m_dlg->m_strXmlPath);
    EXPECT_NE(shownPath.find("TStream.xml"), std::string::npos);
}

// The folder is a file: the start-up line cannot be written. The window's timer asks the writer and
// tells the operator once, from the window's thread.
TEST_F(ShellTest, UnwritableLogIsReportedOnceFromTheWindow) {
    WriteFile("CORVANE_LOGS", "not a folder");
    MakeWindow();
    EXPECT_TRUE(m_messages.empty());
    for (int i = 0; i < 1000 && m_messages.empty(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<std::string> once = {
        "Unable to write to the log in CORVANE_LOGS - unwritten lines are kept "
        "(up to 16 MB) and written when it works again."};
    EXPECT_EQ(m_messages, once);
    m_dlg->OnCheckLog();
    EXPECT_EQ(m_messages, once);
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
