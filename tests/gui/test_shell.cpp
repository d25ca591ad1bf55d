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

TEST_F(ShellTest, TemplateControlsHaveTheirIdsKindsCaptionsAndStates) {
    MakeWindow();
    struct Expected {
        int id;
        const char* kind;
        const char* caption;
        bool enabled;
    };
    const Expected expected[] = {
        {1006, "QLineEdit", "", true},
        {1008, "QPushButton", "&Store Server\nName or IP List ", true},
        {1009, "QPushButton", "&Ping Server List", true},
        {1003, "QLineEdit", nullptr, true},
        {1002, "QPushButton", "Browse/Load", true},
        {1010, "QPushButton", "&Exit", true},
        {1016, "QPushButton", "Ping Single &IP", true},
        {1017, "QPushButton", "&Get IP From\nServer Name", true},
        {1064, "QCheckBox", "Use Ping Port", true},
        {1018, "QLineEdit", "", false},
        {1019, "QRadioButton", "KVT CLient X", true},
        {1020, "QRadioButton", "KVT HRN X", true},
        {1030, "QLineEdit", "", false},
        {1038, "QLineEdit", "", false},
        {1036, "QPlainTextEdit", "", true},
        {1031, "QPushButton", "Re-Load FIle", true},
        {1032, "QPushButton", "Load Next", true},
        {1033, "QPushButton", "Run It", true},
        {1037, "QPushButton", "Load Prev", true},
        {1045, "QPushButton", "<-", true},
        {1046, "QPushButton", "ViewXML", true},
        {1050, "QPushButton", "ViewLastXML", true},
        {1052, "QPushButton", "Edit and Reload on Exit", true},
        {1053, "QPushButton", "Just Open in Editor", true},
        {1054, "QPushButton", "Run It and Load Next", true},
        {1055, "QPushButton", "View Updated XML", true},
        {1060, "QPushButton", "Get Device List", true},
        {1061, "QPushButton", "ViewLastSign", true},
    };
    for (const Expected& e : expected) {
        QWidget* widget = m_dlg->GetDlgItem(e.id);
        ASSERT_NE(widget, nullptr) << e.id;
        EXPECT_STREQ(widget->metaObject()->className(), e.kind) << e.id;
        if (e.caption) {
            EXPECT_EQ(m_dlg->GetDlgItemText(e.id), e.caption) << e.id;
        }
        EXPECT_EQ(widget->isEnabled(), e.enabled) << e.id;
    }

    // The copy-back buttons, and two hidden control sites.
    const int copyButtons[] = {1023, 1026, 1056, 1045, 1040, 1049, 1059};
    for (int id : copyButtons)
        EXPECT_EQ(m_dlg->GetDlgItemText(id), "<-") << id;
    for (int id : {1011, 1021}) {
        ASSERT_NE(m_dlg->GetDlgItem(id), nullptr);
        EXPECT_TRUE(m_dlg->GetDlgItem(id)->isHidden()) << id;
    }

    // The ping port takes five characters at most, typed or exchanged.
    auto* port = qobject_cast<QLineEdit*>(m_dlg->GetDlgItem(IDC_PING_PORT));
    EXPECT_EQ(port->maxLength(), 5);
    m_dlg->m_strPingPort = "1234567";
    m_dlg->UpdateData(FALSE);
    EXPECT_EQ(m_dlg->GetDlgItemText(IDC_PING_PORT), "12345");

    // Radio buttons: no tab stop.
    for (int id : {IDC_TARGET_CLIENT, IDC_TARGET_DEVICE})
        EXPECT_EQ(m_dlg->GetDlgItem(id)->focusPolicy(), Qt::ClickFocus);
    // 524 x 286 dialog units from the dialog font's average character, as the window system does it.
    QFontMetrics font(m_dlg->font());
    const int cx =
        (font.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 26 + 1) / 2;
    EXPECT_EQ(m_dlg->size(), QSize(524 * cx / 4, 286 * font.height() / 8));
    EXPECT_EQ(m_dlg->minimumSize(), m_dlg->maximumSize());
    // Caption, system menu and minimise box; no maximise box.
    const Qt::WindowFlags flags = m_dlg->windowFlags();
    for (Qt::WindowType hint : {Qt::WindowTitleHint, Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint})
        EXPECT_TRUE(flags.testFlag(hint)) << hint;
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
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
