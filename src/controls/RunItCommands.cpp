// Run It: the edited request fields go into the request, the request to the selected control, and the
// response's fields into the response boxes.
#include "app/TranvexDlg.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "res/resource.h"

namespace {

struct RequestUpdate {
    int nBox;
    const char* pszElement;
    const char* pszParent; // where the element goes when the request lacks it
};

// Rows 3 to 5 take the response column's boxes, so a run carries the last response's tokens forward.
constexpr RequestUpdate kRequestUpdates[] = {
    {IDC_REQ_REFNO, "RefNo", "Transaction"},
    {IDC_REQ_AUTHCODE, "AuthCode", "Transaction"},
    {IDC_RESP_ACQREFDATA, "AcqRefData", "Transaction"},
    {IDC_RESP_PROCESSDATA, "ProcessData", "Transaction"},
    {IDC_RESP_RECORDNO, "RecordNo", "Transaction"},
    {IDC_REQ_PURCHASE, "Purchase", "Amount"},
    {IDC_REQ_TRANCODE, "TranCode", "Transaction"},
};

struct ResponseField {
    const char* pszElement;
    int nBox;
};

constexpr ResponseField kResponseFields[] = {
    {"RefNo", IDC_RESP_REFNO},           {"AuthCode", IDC_RESP_AUTHCODE},
    {"ResponseOrigin", IDC_RESP_ORIGIN}, {"CmdStatus", IDC_RESP_CMDSTATUS},
    {"TextResponse", IDC_RESP_TEXT},     {"Purchase", IDC_RESP_PURCHASE},
    {"Gratuity", IDC_RESP_GRATUITY},     {"Authorize", IDC_RESP_AUTHORIZE},
    {"AcqRefData", IDC_RESP_ACQREFDATA}, {"ProcessData", IDC_RESP_PROCESSDATA},
    {"RecordNo", IDC_RESP_RECORDNO},     {"Balance", IDC_RESP_BALANCE},
};

constexpr const char* kCallerTag = "TRANVEX";

} // namespace

void CTranvexDlg::UpdateRequestFromFields() {
    for (const RequestUpdate& row : kRequestUpdates) {
        const CString text = GetDlgItemText(row.nBox);
        if (text.empty())
            continue; // an empty box never removes or blanks an element
        if (m_xmlRequest.HasElement(row.pszElement))
            m_xmlRequest.SetValue(row.pszElement, text);
        else
            m_xmlRequest.AddElement(row.pszParent, row.pszElement, text);
    }
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
    GetLogWriter()->Write("%s", strRequest.c_str());

    CString strResponse;
    if (nTarget == 0) {
        strResponse = m_ctlClient.SubmitRequest(strRequest, 0, "", kCallerTag);
    } else if (nTarget == 1) {
        strResponse = m_ctlDevice.SubmitRequest(strRequest, 0, "", kCallerTag);
    } else {
        GetLogWriter()->Write("%s", "Invalid OCX Control Target");
        return;
    }
    GetLogWriter()->Write("%s", strResponse.c_str());

    CXmlDocHelper response;
    if (!response.Load(strResponse)) {
        AfxMessageBox("PArsing Response->" + response.GetError().m_strMessage);
        return;
    }
    m_strLastResponse = strResponse;

    for (const ResponseField& field : kResponseFields)
        SetDlgItemText(field.nBox, response.GetValue(field.pszElement));
}

void CTranvexDlg::OnRunItAndLoadNext() {
    // Load Next follows whatever the run did; only a failed control call abandons the command.
    OnRunIt();
    OnLoadNext();
}
