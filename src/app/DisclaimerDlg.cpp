// The disclaimer dialog: "I AGREE" leads on, anything else ends the program.
#include "app/DisclaimerDlg.h"

#include "app/AppIcon.h"
#include "res/resource.h"

const char* const CDisclaimerDlg::DisclaimerText =
    "This software is provided \"as is\", without warranty of any kind,\r\n"
    "express or implied. It is a test tool for sanctioned users only:\r\n"
    "do not use it with live cardholder data or production accounts.\r\n"
    "\r\n"
    "Press I AGREE to accept these terms, or Cancel to leave.";

const DlgTemplate& CDisclaimerDlg::DialogTemplate() {
    static const DlgTemplate dlg{IDD_DISCLAIMER, "Disclaimer", "System", 8, 273, 113,
                                 {
                                     {IDOK, DlgKind::PushButton, "I AGREE", 72, 88, 50, 14, DS_DEFAULT},
                                     {IDCANCEL, DlgKind::PushButton, "Cancel", 151, 88, 50, 14, DS_NONE},
                                     {IDC_DISCLAIMER_TEXT, DlgKind::Label, "", 7, 7, 259, 70, DS_NONE},
                                 }};
    return dlg;
}

CDisclaimerDlg::CDisclaimerDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent) { setWindowIcon(AppIcon()); }

BOOL CDisclaimerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    return TRUE;
}

void CDisclaimerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_DISCLAIMER_TEXT, m_strText);
}
