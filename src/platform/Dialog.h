// CDialog and its helpers: dialogs built from a template table in dialog units, data exchange by
// control ID, a command table whose handlers run through one exception-reporting dispatcher, and
// the modal-run hook that tests use.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class QAbstractButton;
class QPainter;

// Picture: a bitmap static whose painting belongs to the CStatic object bound to it.
enum class DlgKind { GroupBox, Label, Icon, Edit, PushButton, CheckBox, RadioButton, HostedControl, Picture };

// The font a control is made with: the dialog's own, or the system's fixed-pitch font.
enum class DlgFont { Dialog, SystemFixed };

using COLORREF = std::uint32_t; // 0x00BBGGRR, as the window system packs it
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr COLORREF CLR_DEFAULT = 0xFF000000; // no colour of its own: the style's

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
    DlgFont font = DlgFont::Dialog;
    COLORREF textColor = CLR_DEFAULT;
    COLORREF bkColor = CLR_DEFAULT;
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

// What kind of control a colour is asked for (the nCtlColor of OnCtlColor).
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_STATIC = 6;

// Stands in for the device context handed to OnCtlColor: the text colour the control is drawn with.
class CCtlColorDC {
public:
    void SetTextColor(COLORREF color) { m_textColor = color; }
    COLORREF GetTextColor() const { return m_textColor; }

private:
    COLORREF m_textColor = CLR_DEFAULT;
};

// A control object bound to a template control (DDX_Control).
class CWnd {
public:
    virtual ~CWnd() = default;
    virtual void Attach(QWidget* widget) { m_pWidget = widget; }
    QWidget* GetWidget() const { return m_pWidget; }
    void EnableWindow(BOOL bEnable);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    void SetFont(DlgFont font);
    // Asks for a repaint of the whole control.
    void Invalidate();

protected:
    QWidget* m_pWidget = nullptr;
};

// A static control whose painting can be taken over: once attached, the widget's paint events go to
// OnPaint, which returns false to leave the painting to the widget itself.
class CStatic : public CWnd {
public:
    CStatic() = default;
    ~CStatic() override;
    CStatic(const CStatic&) = delete;
    CStatic& operator=(const CStatic&) = delete;
    void Attach(QWidget* widget) override;
    virtual bool OnPaint(QPainter& dc);

private:
    QObject* m_pPaintRouter = nullptr;
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

    // Asks OnCtlColor for every control's text colour and applies the answers; DoModal and showing
    // the dialog do this, after OnInitDialog has set up what the colours depend on.
    void RefreshCtlColors();
    virtual void OnCtlColor(CCtlColorDC* pDC, QWidget* pWnd, UINT nCtlColor);

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
    void showEvent(QShowEvent* event) override;

private:
    void BuildFromTemplate();
    QWidget* CreateItem(const DlgItem& item);
    DlgTemplate m_template;
    std::map<int, QWidget*> m_items;
    std::vector<std::pair<const DlgItem*, QWidget*>> m_allItems; // statics included
    std::map<int, std::function<void()>> m_commands;
    int m_nBaseX = 6, m_nBaseY = 13;
    int m_nModalResult = IDCANCEL;
};
