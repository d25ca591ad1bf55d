// Run It: the window's boxes feed the transaction cycle, and its answer fills the response boxes.
#include "app/TranvexDlg.h"
#include "controls/TransactionCycle.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "res/resource.h"

namespace {

struct RequestBox {
    CString SRequestFields::*pValue;
    int nBox;
};

// AcqRefData, ProcessData and RecordNo come from the response column, so a run carries the last
// response's tokens forward.
constexpr RequestBox kRequestBoxes[] = {
    {&SRequestFields::strRefNo, IDC_REQ_REFNO},
    {&SRequestFields::strAuthCode, IDC_REQ_AUTHCODE},
    {&SRequestFields::strAcqRefData, IDC_RESP_ACQREFDATA},
    {&SRequestFields::strProcessData, IDC_RESP_PROCESSDATA},
    {&SRequestFields::strRecordNo, IDC_RESP_RECORDNO},
    {&SRequestFields::strPurchase, IDC_REQ_PURCHASE},
    {&SRequestFields::strTranCode, IDC_REQ_TRANCODE},
};

struct ResponseBox {
    CString SResponseFields::*pValue;
    int nBox;
};

// In the cycle's reading order.
constexpr ResponseBox kResponseBoxes[] = {
    {&SResponseFields::strRefNo, IDC_RESP_REFNO},
    {&SResponseFields::strAuthCode, IDC_RESP_AUTHCODE},
    {&SResponseFields::strResponseOrigin, IDC_RESP_ORIGIN},
    {&SResponseFields::strCmdStatus, IDC_RESP_CMDSTATUS},
    {&SResponseFields::strTextResponse, IDC_RESP_TEXT},
    {&SResponseFields::strPurchase, IDC_RESP_PURCHASE},
    {&SResponseFields::strGratuity, IDC_RESP_GRATUITY},
    {&SResponseFields::strAuthorize, IDC_RESP_AUTHORIZE},
    {&SResponseFields::strAcqRefData, IDC_RESP_ACQREFDATA},
    {&SResponseFields::strProcessData, IDC_RESP_PROCESSDATA},
    {&SResponseFields::strRecordNo, IDC_RESP_RECORDNO},
    {&SResponseFields::strBalance, IDC_RESP_BALANCE},
};

} // namespace

void CTranvexDlg::UpdateRequestFromFields() {
    SRequestFields fields;
    for (const RequestBox& row : kRequestBoxes)
        fields.*row.pValue = GetDlgItemText(row.nBox);
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
    const int nTarget = GetSelectedTarget(true);
    CTransactionCycle cycle(m_ctlClient, m_ctlDevice,
                            [](const CString& entry) { GetLogWriter()->Write("%s", entry.c_str()); });
    const SCycleAnswer answer = cycle.Submit(nTarget, strRequest);
    if (answer.outcome == SCycleAnswer::eResponseNotXml)
        AfxMessageBox(answer.strMessage);
    if (answer.outcome != SCycleAnswer::eCompleted)
        return;

    m_strLastResponse = answer.strResponse;
    for (const ResponseBox& row : kResponseBoxes)
        SetDlgItemText(row.nBox, answer.fields.*row.pValue);
}

void CTranvexDlg::OnRunItAndLoadNext() {
    // Load Next follows whatever the run did; only a failed control call abandons the command.
    OnRunIt();
    OnLoadNext();
}
