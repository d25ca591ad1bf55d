// The transaction cycle shared by the window's Run It and by tranvex-run.
#include "controls/TransactionCycle.h"

namespace {
constexpr const char* kCallerTag = "TRANVEX";
}

void CarryTokens(const SResponseFields& response, SRequestFields& next) {
    next.strAcqRefData = response.strAcqRefData;
    next.strProcessData = response.strProcessData;
    next.strRecordNo = response.strRecordNo;
}

SRequestFields LoadedRequestFields(CXmlDocHelper& request, const SRequestFields& carried) {
    SRequestFields fields = carried;
    fields.strRefNo = request.GetValue("RefNo");
    fields.strAuthCode = request.GetValue("AuthCode");
    fields.strPurchase = request.GetValue("Purchase");
    fields.strTranCode = request.GetValue("TranCode");
    return fields;
}

void CTransactionCycle::UpdateRequest(CXmlDocHelper& request, const SRequestFields& fields) {
    for (const SRequestElement& row : kRequestElements) {
        const CString& text = fields.*row.pValue;
        if (text.empty())
            continue;
        if (request.HasElement(row.pszElement))
            request.SetValue(row.pszElement, text);
        else
            request.AddElement(row.pszParent, row.pszElement, text);
    }
}

SCycleAnswer CTransactionCycle::Submit(int nTarget, const CString& strRequest, CXmlDocHelper* pResponse) {
    SCycleAnswer answer;
    if (m_log)
        m_log(strRequest);

    if (nTarget == kTargetClient) {
        answer.strResponse = m_client.SubmitRequest(strRequest, 0, "", kCallerTag);
    } else if (nTarget == kTargetDevice) {
        answer.strResponse = m_device.SubmitRequest(strRequest, 0, "", kCallerTag);
    } else {
        if (m_log)
            m_log("Invalid OCX Control Target");
        answer.outcome = SCycleAnswer::eNoTarget;
        return answer;
    }
    if (m_log)
        m_log(answer.strResponse);

    CXmlDocHelper local;
    CXmlDocHelper& response = pResponse ? *pResponse : local;
    if (!response.Load(answer.strResponse)) {
        answer.outcome = SCycleAnswer::eResponseNotXml;
        answer.strMessage = "PArsing Response->" + response.GetError().m_strMessage;
        return answer;
    }
    answer.outcome = SCycleAnswer::eCompleted;
    for (const SResponseElement& row : kResponseElements)
        answer.fields.*row.pValue = response.GetValue(row.pszElement);
    return answer;
}
