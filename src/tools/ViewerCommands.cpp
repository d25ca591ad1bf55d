// The three XML viewers: scripted, updated and last.
#include "app/TranvexDlg.h"
#include "platform/MessageBox.h"
#include "script/ScriptVariables.h"

void CTranvexDlg::OnViewXml() {
    if (m_nCurrent < 0 || m_nCurrent > static_cast<int>(m_arrTransactions.size()) - 1) {
        AfxMessageBox("Something went wrong.");
        return;
    }
    // The text as substituted, which is what the request was made from.
    CString strText, strError;
    if (ExpandWindowBlock(m_arrTransactions[m_nCurrent], m_nCurrent + 1, m_strXmlPath, strText, strError))
        AfxMessageBox(strText);
    else
        AfxMessageBox(strError);
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
