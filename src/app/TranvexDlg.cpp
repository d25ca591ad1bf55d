// The main window: template, data exchange, command table, start-up, About, Exit and the target rule.
#include "app/TranvexDlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "app/AboutDlg.h"
#include "app/AppIcon.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "res/Version.h"
#include "res/resource.h"

const DlgTemplate& CTranvexDlg::DialogTemplate() {
    using K = DlgKind;
    static const DlgTemplate dlg{
        IDD_TRANVEX_DIALOG,
        "Tranvex",
        "MS Sans Serif",
        8,
        524,
        286,
        {
            {IDC_STATIC, K::GroupBox, "TCP/IP Settings", 15, 9, 487, 261, DS_NONE},
            {IDC_STATIC, K::Label, "Server Name or IP Address", 27, 21, 91, 8, DS_NONE},
            {IDC_SERVER_NAME, K::Edit, "", 27, 33, 114, 14, DS_NONE},
            {IDC_STORE_SERVER_LIST, K::PushButton, "&Store Server\nName or IP List ", 359, 20, 64, 25,
             DS_MULTILINE | DS_FLAT},
            {IDC_PING_SERVER_LIST, K::PushButton, "&Ping Server List", 427, 20, 64, 25,
             DS_MULTILINE | DS_FLAT},
            {IDC_XML_PATH_LABEL, K::Label, "Path to XML Doc", 25, 229, 55, 9, DS_NONE},
            {IDC_XML_PATH, K::Edit, "", 95, 224, 185, 14, DS_NONE},
            {IDC_BROWSE_LOAD, K::PushButton, "Browse/Load", 287, 224, 50, 14, DS_NONE},
            {IDC_EXIT, K::PushButton, "&Exit", 439, 113, 50, 25, DS_FLAT},
            {IDC_CLIENT_CONTROL, K::HostedControl, "CKVTCLientX", 452, 162, 42, 26, DS_NOTABSTOP},
            {IDC_PING_SINGLE_IP, K::PushButton, "Ping Single &IP", 427, 49, 64, 25, DS_MULTILINE | DS_FLAT},
            {IDC_GET_IP_FROM_NAME, K::PushButton, "&Get IP From\nServer Name", 358, 50, 64, 25,
             DS_MULTILINE | DS_FLAT},
            {IDC_USE_PING_PORT, K::CheckBox, "Use Ping Port", 426, 79, 59, 10, DS_NONE},
            {IDC_PING_PORT, K::Edit, "", 426, 92, 61, 14, DS_DISABLED},
            {IDC_TARGET_CLIENT, K::RadioButton, "KVT CLient X", 353, 245, 57, 10, DS_GROUP | DS_NOTABSTOP},
            {IDC_TARGET_DEVICE, K::RadioButton, "KVT HRN X", 425, 243, 51, 10, DS_NOTABSTOP},
            {IDC_DEVICE_CONTROL, K::HostedControl, "CKvtHRNX", 452, 185, 42, 24, DS_NONE},
            {IDC_REQ_REFNO, K::Edit, "", 74, 60, 71, 14, DS_NONE},
            {IDC_STATIC, K::Label, "Request", 40, 49, 28, 8, DS_NONE},
            {IDC_STATIC, K::Label, "Resp", 196, 49, 18, 8, DS_NONE},
            {IDC_COPY_REFNO, K::PushButton, "<-", 150, 61, 18, 14, DS_NONE},
            {IDC_RESP_REFNO, K::Edit, "", 175, 60, 71, 14, DS_NONE},
            {IDC_STATIC, K::Label, "RefNo", 39, 63, 22, 8, DS_NONE},
            {IDC_STATIC, K::Label, "Approval", 32, 79, 29, 8, DS_NONE},
            {IDC_REQ_AUTHCODE, K::Edit, "", 74, 77, 71, 14, DS_NONE},
            {IDC_COPY_AUTHCODE, K::PushButton, "<-", 149, 79, 18, 14, DS_NONE},
            {IDC_RESP_AUTHCODE, K::Edit, "", 175, 77, 71, 14, DS_NONE},
            {IDC_STATIC, K::Label, "Purchase", 30, 98, 31, 8, DS_NONE},
            {IDC_REQ_PURCHASE, K::Edit, "", 74, 94, 70, 14, DS_NONE},
            {IDC_STATIC, K::Label, "TranType", 29, 137, 32, 8, DS_NONE},
            {IDC_STATIC, K::Label, "TranCode", 29, 153, 32, 8, DS_NONE},
            {IDC_REQ_TRANCODE, K::Edit, "", 74, 151, 70, 14, DS_NONE},
            {IDC_REQ_TRANTYPE, K::Edit, "", 74, 134, 70, 14, DS_DISABLED},
            {IDC_RELOAD_FILE, K::PushButton, "Re-Load FIle", 342, 224, 59, 14, DS_NONE},
            {IDC_LOAD_NEXT, K::PushButton, "Load Next", 305, 169, 50, 14, DS_NONE},
            {IDC_RUN_IT, K::PushButton, "Run It", 305, 187, 50, 14, DS_NONE},
            {IDC_RESP_CMDSTATUS, K::Edit, "", 175, 151, 66, 14, DS_NONE},
            {IDC_RESP_ORIGIN, K::Edit, "", 175, 134, 66, 14, DS_NONE},
            {IDC_RESP_TEXT, K::Edit, "", 251, 136, 119, 27, DS_MULTILINE},
            {IDC_LOAD_PREV, K::PushButton, "Load Prev", 358, 169, 50, 14, DS_NONE},
            {IDC_RESP_ACQREFDATA, K::Edit, "", 175, 169, 119, 14, DS_NONE},
            {IDC_RESP_PROCESSDATA, K::Edit, "", 175, 187, 119, 14, DS_NONE},
            {IDC_STATIC, K::Label, "Grat", 30, 116, 14, 8, DS_NONE},
            {IDC_REQ_GRATUITY, K::Edit, "", 74, 113, 70, 14, DS_DISABLED},
            {IDC_RESP_AUTHORIZE, K::Edit, "", 275, 96, 66, 14, DS_NONE},
            {IDC_RESP_PURCHASE, K::Edit, "", 175, 94, 70, 14, DS_NONE},
            {IDC_RESP_GRATUITY, K::Edit, "", 175, 113, 70, 14, DS_NONE},
            {IDC_COPY_AUTHORIZE, K::PushButton, "<-", 252, 96, 18, 14, DS_NONE},
            {IDC_VIEW_XML, K::PushButton, "ViewXML", 76, 49, 35, 9, DS_NONE},
            {IDC_REQ_ACQREFDATA, K::Edit, "", 73, 168, 71, 14, DS_NONE},
            {IDC_REQ_PROCESSDATA, K::Edit, "", 73, 185, 71, 14, DS_NONE},
            {IDC_STATIC, K::Label, "AcqRef", 36, 171, 25, 8, DS_NONE},
            {IDC_STATIC, K::Label, "Process", 35, 188, 26, 8, DS_NONE},
            {IDC_COPY_ACQREFDATA, K::PushButton, "<-", 151, 171, 18, 14, DS_NONE},
            {IDC_COPY_PROCESSDATA, K::PushButton, "<-", 151, 187, 18, 14, DS_NONE},
            {IDC_VIEW_LAST_XML, K::PushButton, "ViewLastXML", 217, 49, 68, 9, DS_NONE},
            {IDC_STATIC, K::Label, "Bal", 279, 122, 11, 8, DS_NONE},
            {IDC_RESP_BALANCE, K::Edit, "", 296, 119, 40, 14, DS_NONE},
            {IDC_EDIT_AND_RELOAD, K::PushButton, "Edit and Reload on Exit", 96, 242, 100, 14, DS_NONE},
            {IDC_OPEN_IN_EDITOR, K::PushButton, "Just Open in Editor", 212, 242, 75, 14, DS_NONE},
            {IDC_RUN_IT_AND_LOAD_NEXT, K::PushButton, "Run It and Load Next", 359, 187, 85, 14, DS_NONE},
            {IDC_VIEW_UPDATED_XML, K::PushButton, "View Updated XML", 118, 49, 71, 9, DS_NONE},
            {IDC_COPY_PURCHASE, K::PushButton, "<-", 149, 96, 18, 14, DS_NONE},
            {IDC_RESP_RECORDNO, K::Edit, "", 175, 205, 119, 14, DS_NONE},
            {IDC_REQ_RECORDNO, K::Edit, "", 73, 203, 71, 14, DS_NONE},
            {IDC_STATIC, K::Label, "RecordNo", 35, 206, 34, 8, DS_NONE},
            {IDC_COPY_RECORDNO, K::PushButton, "<-", 151, 205, 18, 14, DS_NONE},
            {IDC_GET_DEVICE_LIST, K::PushButton, "Get Device List", 439, 222, 60, 14, DS_NONE},
            {IDC_VIEW_LAST_SIGN, K::PushButton, "ViewLastSign", 290, 49, 68, 13, DS_NONE},
        }};
    return dlg;
}

namespace {

const char* const kLogFailure =
    "Unable to write to the log in CORVANE_LOGS - unwritten lines are kept (up to 16 MB) "
    "and written when it works again.";

// True while nothing else has the operator: no other modal window, no open menu, and no editor wait
// (which disables the window).
bool OperatorIsInWindow(const QWidget* pWindow) {
    const QWidget* pModal = QApplication::activeModalWidget();
    return (!pModal || pModal == pWindow) && !QApplication::activePopupWidget() && pWindow->isEnabled();
}

} // namespace

CTranvexDlg::CTranvexDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent), m_hIcon(AppIcon()) {
    // A pop-up with caption, system menu and minimise box; no maximise box, and its own taskbar button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The log writer's worker cannot show anything itself: the window asks it now and then.
    m_pLogCheck = new QTimer(this);
    m_pLogCheck->setInterval(1000);
    connect(m_pLogCheck, &QTimer::timeout, this, [this] { Dispatch([this] { OnCheckLog(); }); });
    // The hosted controls come into being with the window, before its initialisation.
    for (CPaymentControl* control : Controls())
        control->Create(control->Target().nControlId);
    ConnectCommandTable();
}

CTranvexDlg::~CTranvexDlg() = default;

void CTranvexDlg::ConnectCommandTable() {
    struct Entry {
        int nID;
        void (CTranvexDlg::*pHandler)();
    };
    static const Entry table[] = {
        {IDC_BROWSE_LOAD, &CTranvexDlg::OnBrowseLoad},
        {IDC_RELOAD_FILE, &CTranvexDlg::OnReloadFile},
        {IDC_LOAD_NEXT, &CTranvexDlg::OnLoadNext},
        {IDC_LOAD_PREV, &CTranvexDlg::OnLoadPrev},
        {IDC_COPY_REFNO, &CTranvexDlg::OnCopyRefNo},
        {IDC_COPY_AUTHCODE, &CTranvexDlg::OnCopyAuthCode},
        {IDC_COPY_PURCHASE, &CTranvexDlg::OnCopyPurchase},
        {IDC_COPY_AUTHORIZE, &CTranvexDlg::OnCopyAuthorize},
        {IDC_COPY_ACQREFDATA, &CTranvexDlg::OnCopyAcqRefData},
        {IDC_COPY_PROCESSDATA, &CTranvexDlg::OnCopyProcessData},
        {IDC_COPY_RECORDNO, &CTranvexDlg::OnCopyRecordNo},
        {IDC_RUN_IT, &CTranvexDlg::OnRunIt},
        {IDC_RUN_IT_AND_LOAD_NEXT, &CTranvexDlg::OnRunItAndLoadNext},
        {IDC_VIEW_XML, &CTranvexDlg::OnViewXml},
        {IDC_VIEW_UPDATED_XML, &CTranvexDlg::OnViewUpdatedXml},
        {IDC_VIEW_LAST_XML, &CTranvexDlg::OnViewLastXml},
        {IDC_VIEW_LAST_SIGN, &CTranvexDlg::OnViewLastSign},
        {IDC_EDIT_AND_RELOAD, &CTranvexDlg::OnEditAndReload},
        {IDC_OPEN_IN_EDITOR, &CTranvexDlg::OnOpenInEditor},
        {IDC_EXIT, &CTranvexDlg::OnExit},
        {IDC_STORE_SERVER_LIST, &CTranvexDlg::OnStoreServerList},
        {IDC_PING_SERVER_LIST, &CTranvexDlg::OnPingServerList},
        {IDC_GET_IP_FROM_NAME, &CTranvexDlg::OnGetIPFromServerName},
        {IDC_PING_SINGLE_IP, &CTranvexDlg::OnPingSingleIP},
        {IDC_USE_PING_PORT, &CTranvexDlg::OnUsePingPort},
        {IDC_GET_DEVICE_LIST, &CTranvexDlg::OnGetDeviceList},
    };
    for (const Entry& entry : table)
        ConnectCommand(entry.nID, [this, handler = entry.pHandler] { (this->*handler)(); });
}

void CTranvexDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PING_PORT, m_editPingPort);
    DDX_Control(pDX, IDC_USE_PING_PORT, m_btnUsePingPort);
    DDX_Text(pDX, IDC_XML_PATH, m_strXmlPath);
    DDX_Text(pDX, IDC_SERVER_NAME, m_strServerName);
    DDX_Control(pDX, IDC_CLIENT_CONTROL, m_ctlClient);
    DDX_Check(pDX, IDC_USE_PING_PORT, m_bUsePingPort);
    DDX_Text(pDX, IDC_PING_PORT, m_strPingPort);
    DDV_MaxChars(pDX, m_strPingPort, 5);
    DDX_Control(pDX, IDC_DEVICE_CONTROL, m_ctlDevice);
}

BOOL CTranvexDlg::OnInitDialog() {
    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    m_strXmlPath = cwd + "/TStream.xml";

    CDialog::OnInitDialog();

    // A window manager owns the title-bar menu here, so the About item lives in the window's own menu.
    delete m_pSysMenu;
    m_pSysMenu = new QMenu(this);
    if (CString(TRANVEX_ABOUT_MENU_TEXT).size() > 0) {
        m_pSysMenu->addSeparator();
        QAction* about = m_pSysMenu->addAction(QString::fromLatin1(TRANVEX_ABOUT_MENU_TEXT));
        connect(about, &QAction::triggered, this,
                [this] { Dispatch([this] { OnSysCommand(IDM_ABOUTBOX, 0); }); });
    }

    setWindowIcon(m_hIcon);

    // The log check runs until the operator has been told about the log once; the folder that could
    // not be made is that notice, and a second one would contradict it.
    const bool bLogDirMade = mkdir("CORVANE_LOGS", 0777) == 0 || errno == EEXIST;
    if (!bLogDirMade)
        AfxMessageBox("Unable to create Log Directory - logging disabled!");

    // A component library named in the environment that cannot be used: the operator learns which
    // and why now, and every call on that control fails with the same text.
    for (CPaymentControl* control : Controls())
        if (!control->ComponentProblem().empty())
            AfxMessageBox(control->ComponentProblem());

    GetLogWriter()->Write("Startup %s", TRANVEX_VERSION_TEXT);
    if (bLogDirMade)
        m_pLogCheck->start();
    return TRUE;
}

void CTranvexDlg::OnCheckLog() {
    // The notice waits (the writer keeps it) until the operator is back in this window.
    if (!m_pLogCheck->isActive() || !OperatorIsInWindow(this) || !GetLogWriter()->TakeFailureNotice())
        return;
    m_pLogCheck->stop();
    AfxMessageBox(kLogFailure);
}

void CTranvexDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (m_pSysMenu)
        m_pSysMenu->exec(event->globalPos());
}

void CTranvexDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
    // Move, minimise, restore and close belong to the window manager.
}

void CTranvexDlg::OnExit() {
    GetLogWriter()->Write("Shutdown %s", TRANVEX_VERSION_TEXT);
    CDialog::OnCancel();
}

int CTranvexDlg::GetSelectedTarget(bool bReport) {
    for (const STargetInfo& row : kTargets)
        if (IsDlgButtonChecked(row.nRadioButton))
            return static_cast<int>(row.target);
    if (bReport)
        AfxMessageBox("Please Select a Valid OCX Control to Target!");
    return static_cast<int>(ETarget::None);
}

std::array<CPaymentControl*, kTargets.size()> CTranvexDlg::Controls() {
    return {&m_ctlClient, &m_ctlDevice};
}

CPaymentControl* CTranvexDlg::Control(ETarget target) {
    for (CPaymentControl* control : Controls())
        if (control->Target().target == target)
            return control;
    return nullptr;
}
