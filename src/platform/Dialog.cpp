// CDialog: the modal run and its hook, data exchange, the framework's OK and Cancel, Enter, access
// to controls by ID, and the command dispatcher. The template builder is in DlgTemplate.cpp.
#include "platform/Dialog.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <exception>

#include "platform/MessageBox.h"
#include "platform/WidgetText.h"

CDialog::CDialog(const DlgTemplate& dlgTemplate, QWidget* parent) : QDialog(parent), m_template(dlgTemplate) {
    BuildFromTemplate();
}

CDialog::~CDialog() = default;

CDialog::ModalHook& CDialog::CurrentModalHook() {
    static ModalHook hook;
    return hook;
}

void CDialog::OnCtlColor(CCtlColorDC*, QWidget*, UINT) {}

void CDialog::showEvent(QShowEvent* event) {
    RefreshCtlColors();
    QDialog::showEvent(event);
}

int CDialog::DoModal() {
    m_nModalResult = IDCANCEL;
    OnInitDialog();
    RefreshCtlColors();
    if (CurrentModalHook())
        return CurrentModalHook()(*this);
    exec();
    return m_nModalResult;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx{this, bSaveAndValidate != FALSE};
    DoDataExchange(&dx);
    return dx.m_bFail ? FALSE : TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    QDialog::done(nResult);
}

void CDialog::accept() {
    Dispatch([this] { OnOK(); });
}

void CDialog::reject() {
    Dispatch([this] { OnCancel(); });
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses the focused push button, else the default one, else it is the OK command.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
            return;
        }
        for (auto [id, widget] : m_items) {
            auto* button = qobject_cast<QPushButton*>(widget);
            if (button && button->isDefault() && button->isEnabled()) {
                button->click();
                return;
            }
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QWidget* CDialog::GetDlgItem(int nID) const {
    auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second;
}

CString CDialog::GetDlgItemText(int nID) const {
    QWidget* widget = GetDlgItem(nID);
    return widget ? WidgetText(widget) : CString();
}

void CDialog::SetDlgItemText(int nID, const CString& text) {
    if (QWidget* widget = GetDlgItem(nID))
        SetWidgetText(widget, text);
}

int CDialog::IsDlgButtonChecked(int nID) const {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID));
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::CheckDlgButton(int nID, int nCheck) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID)))
        button->setChecked(nCheck == BST_CHECKED);
}

void CDialog::Dispatch(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        AfxMessageBox(e.what(), MB_OK | MB_ICONERROR);
    } catch (...) {
        AfxMessageBox("An unexpected error occurred.", MB_OK | MB_ICONERROR);
    }
}

void CDialog::ConnectCommand(int nID, std::function<void()> handler) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID)))
        connect(button, &QAbstractButton::clicked, this, [handler = std::move(handler)] { Dispatch(handler); });
}
