// The Results dialog: one read-only box that scrolls both ways and does not wrap lines.
#include "admin/ResultsDlg.h"

#include "res/resource.h"

const DlgTemplate& CResultsDlg::DialogTemplate() {
    using K = DlgKind;
    static const DlgTemplate dlg{IDD_RESULTS,
                                 "Results ",
                                 "MS Sans Serif",
                                 8,
                                 307,
                                 306,
                                 {
                                     {IDC_RESULTS_TEXT, K::Edit, "", 7, 8, 287, 270,
                                      DS_MULTILINE | DS_READONLY | DS_VSCROLL | DS_NOWRAP},
                                     {IDOK, K::PushButton, "OK", 7, 285, 50, 14, DS_DEFAULT},
                                     {IDCANCEL, K::PushButton, "Cancel", 250, 285, 50, 14, DS_NONE},
                                 }};
    return dlg;
}

CResultsDlg::CResultsDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent) {}

void CResultsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_RESULTS_TEXT, m_strResults);
}
