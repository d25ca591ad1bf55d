// DDX_ and DDV_ routines: members to controls and back, by control ID.
#include "platform/DataExchange.h"

#include <QLineEdit>

#include "platform/Dialog.h"
#include "platform/QtText.h"

void DDX_Text(CDataExchange* pDX, int nID, CString& value) {
    pDX->m_nLastControl = nID;
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(nID);
    else
        pDX->m_pDlgWnd->SetDlgItemText(nID, value);
}

void DDX_Check(CDataExchange* pDX, int nID, BOOL& value) {
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(nID);
    else
        pDX->m_pDlgWnd->CheckDlgButton(nID, value ? BST_CHECKED : BST_UNCHECKED);
}

void DDX_Control(CDataExchange* pDX, int nID, CWnd& control) {
    if (!control.GetWidget())
        control.Attach(pDX->m_pDlgWnd->GetDlgItem(nID));
}

// Applies to the edit box exchanged just before: going to the screen it sets the box's input limit,
// so the limit can never be exceeded when the screen comes back. Both count characters as the box
// does (UTF-16 units of the text it shows), so text the box took is never refused.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (pDX->m_bSaveAndValidate) {
        if (BytesToQt(value).size() > nChars)
            pDX->m_bFail = true;
    } else if (auto* edit = qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_nLastControl))) {
        edit->setMaxLength(nChars);
    }
}
