// The three XML viewers: scripted, updated and last.
#include "app/TranvexDlg.h"
#include "platform/MessageBox.h"

void CTranvexDlg::OnViewXml() {
    if (m_nCurrent < 0 || m_nCurrent > static_cast<int>(m_arrTransactions.size()) - 1) {
        AfxMessageBox("Something went wrong.");
        return;
    }
    AfxMessageBox(m_arrTransactions[m_nCurrent]);
}

void CTranvexDlg::OnViewUpdatedXml() {
    UpdateRequestFromFields(); // for good, exactly as a run would
    CString strXml;
    if (m_xmlRequest.GetXml(strXml))
        AfxMessageBox(strXml);
    else
        AfxMessageBox(m_xmlRequest.GetError().m_strMessage);
}

void CTranvexDlg::OnViewLastXml() { AfxMessageBox(m_strLastResponse); }
