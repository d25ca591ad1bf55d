// CDialog: a dialog built from its template table, with data exchange by control ID, a command table
// whose handlers run through one exception-reporting dispatcher, and the modal-run hook that tests
// use. Its template, control objects and data exchange have headers of their own, included here.
#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <vector>

#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/DlgTemplate.h"
#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

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
    int m_nBaseX = 6, m_nBaseY = 13;
    int m_nModalResult = IDCANCEL;
};
