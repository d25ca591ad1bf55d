// CDialog and its helpers: dialogs built from a template table in dialog units, data exchange by
// control ID, a command table whose handlers run through one exception-reporting dispatcher, and
// the modal-run hook that tests use.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <vector>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class QAbstractButton;

enum class DlgKind { GroupBox, Label, Icon, Edit, PushButton, CheckBox, RadioButton, HostedControl };

// Style bits of a template item (only the ones this program uses).
enum DlgStyle : unsigned {
    DS_NONE = 0,
    DS_DISABLED = 1u << 0,     // created disabled
    DS_MULTILINE = 1u << 1,    // multi-line edit, or a button caption that wraps
    DS_READONLY = 1u << 2,     // read-only edit
    DS_VSCROLL = 1u << 3,      // vertical scroll bar
    DS_NOTABSTOP = 1u << 4,    // left out of the tab order
    DS_DEFAULT = 1u << 5,      // the default push button
    DS_FLAT = 1u << 6,         // flat push button
    DS_CENTER = 1u << 7,       // centred static text
    DS_BORDER = 1u << 8,       // bordered static text
    DS_NOWRAP = 1u << 9,       // multi-line edit whose lines are not wrapped
    DS_GROUP = 1u << 10,       // starts a group of automatic radio buttons
};

constexpr int IDC_STATIC = -1;

struct DlgItem {
    int id;
    DlgKind kind;
    const char* caption;
    int x, y, w, h; // dialog units
    unsigned style;
};

struct DlgTemplate {
    int id;
    const char* title;
    const char* fontFace;
    int fontPoints;
    int cx, cy; // dialog units
    std::vector<DlgItem> items;
};

class CDialog;

// The state of one data exchange: which way values go.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: screen to members
    bool m_bFail = false;
    int m_nLastControl = IDC_STATIC; // the control DDV_ routines apply to
};

// A control object bound to a template control (DDX_Control).
class CWnd {
public:
    virtual ~CWnd() = default;
    void Attach(QWidget* widget) { m_pWidget = widget; }
    QWidget* GetWidget() const { return m_pWidget; }
    void EnableWindow(BOOL bEnable);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const CString& text);
    CString GetWindowText() const;

protected:
    QWidget* m_pWidget = nullptr;
};

class CEdit : public CWnd {
public:
    void LimitText(int nChars);
};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
};

void DDX_Text(CDataExchange* pDX, int nID, CString& value);
void DDX_Check(CDataExchange* pDX, int nID, BOOL& value);
void DDX_Control(CDataExchange* pDX, int nID, CWnd& control);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(const DlgTemplate& dlgTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs OnInitDialog, then the modal loop (or the test hook); returns what EndDialog was given.
    virtual int DoModal();
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void OnOK();
    virtual void OnCancel();
    void EndDialog(int nResult);
    int GetModalResult() const { return m_nModalResult; }

    QWidget* GetDlgItem(int nID) const;
    CString GetDlgItemText(int nID) const;
    void SetDlgItemText(int nID, const CString& text);
    int IsDlgButtonChecked(int nID) const;
    void CheckDlgButton(int nID, int nCheck);

    const DlgTemplate& Template() const { return m_template; }
    // Pixels for a rectangle in dialog units, from this dialog's font.
    QRect MapDialogRect(int x, int y, int w, int h) const;

    // Runs a handler; an exception escaping it is reported in a message box and the window goes on.
    static void Dispatch(const std::function<void()>& handler);
    // Sends a control's click to its command-table handler, through the dispatcher.
    void ConnectCommand(int nID, std::function<void()> handler);
    bool OnCommand(int nID);

    // While a hook is set, DoModal runs OnInitDialog and returns the hook's answer without a loop.
    using ModalHook = std::function<int(CDialog& dialog)>;
    static ModalHook& CurrentModalHook();
    class ModalHookGuard : public CHookGuard<ModalHook> {
    public:
        explicit ModalHookGuard(ModalHook hook) : CHookGuard<ModalHook>(CurrentModalHook(), std::move(hook)) {}
    };

protected:
    void accept() override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildFromTemplate();
    QWidget* CreateItem(const DlgItem& item);
    DlgTemplate m_template;
    std::map<int, QWidget*> m_items;
    std::map<int, std::function<void()>> m_commands;
    int m_nBaseX = 6, m_nBaseY = 13;
    int m_nModalResult = IDCANCEL;
};
