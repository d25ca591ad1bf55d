// Run It: the window's boxes feed the transaction cycle, and its answer fills the response boxes.
#include "app/TranvexDlg.h"
#include "controls/TransactionCycle.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"

void CTranvexDlg::UpdateRequestFromFields() {
    // The carried fields come from the response column, so a run sends the last response's tokens.
    CFieldValues fields;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const STransactionField& row = kTransactionFields[i];
        if (row.pszParent)
            fields[i] = GetDlgItemText(row.bCarried ? row.nResponseBox : row.nRequestBox);
    }
    CTransactionCycle::UpdateRequest(m_xmlRequest, fields);
}

void CTranvexDlg::OnRunIt() {
    if (m_nCurrent < 0 || m_nCurrent > static_cast<int>(m_arrTransactions.size()) - 1) {
        AfxMessageBox("Something went wrong.");
        return;
    }

    UpdateRequestFromFields();

    CString strRequest;
    if (!m_xmlRequest.GetXml(strRequest)) {
        AfxMessageBox(m_xmlRequest.GetError().m_strMessage);
        return;
    }

    m_strLastResponse.clear();
    CPaymentControl* pTarget = Control(TargetFromValue(GetSelectedTarget(true)));
    CTransactionCycle cycle([](const CString& entry) { GetLogWriter()->Write("%s", entry.c_str()); });
    const SCycleAnswer answer = cycle.Submit(pTarget, strRequest);
    if (answer.outcome == SCycleAnswer::eResponseNotXml)
        AfxMessageBox(answer.strMessage);
    if (answer.outcome != SCycleAnswer::eCompleted)
        return;

    m_strLastResponse = answer.strResponse;
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kTransactionFields[i].nResponseBox)
            SetDlgItemText(kTransactionFields[i].nResponseBox, answer.fields[i]);
}

void CTranvexDlg::OnRunItAndLoadNext() {
    // Load Next follows whatever the run did; only a failed control call abandons the command.
    OnRunIt();
    OnLoadNext();
}
