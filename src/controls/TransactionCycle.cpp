// The transaction cycle shared by the window's Run It and by tranvex-run.
#include "controls/TransactionCycle.h"

namespace {
constexpr const char* kCallerTag = "TRANVEX";
}

void CarryTokens(const CFieldValues& response, CFieldValues& next) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kTransactionFields[i].bCarried)
            next[i] = response[i];
}

CFieldValues LoadedRequestFields(CXmlDocHelper& request, const CFieldValues& carried) {
    CFieldValues fields = carried;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const STransactionField& row = kTransactionFields[i];
        if (row.pszParent && !row.bCarried)
            fields[i] = request.GetValue(row.pszElement);
    }
    return fields;
}

void CTransactionCycle::UpdateRequest(CXmlDocHelper& request, const CFieldValues& fields) {
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const STransactionField& row = kTransactionFields[i];
        const CString& text = fields[i];
        if (!row.pszParent || text.empty())
            continue;
        if (request.HasElement(row.pszElement))
            request.SetValue(row.pszElement, text);
        else
            request.AddElement(row.pszParent, row.pszElement, text);
    }
}

SCycleAnswer CTransactionCycle::Submit(CPaymentControl* pTarget, const CString& strRequest,
                                       CXmlDocHelper* pResponse) {
    SCycleAnswer answer;
    if (m_log)
        m_log(strRequest);
    if (!pTarget) {
        if (m_log)
            m_log("Invalid OCX Control Target");
        answer.outcome = SCycleAnswer::eNoTarget;
        return answer;
    }
    answer.strResponse = pTarget->SubmitRequest(strRequest, 0, "", kCallerTag);
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
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (kTransactionFields[i].nResponseBox)
            answer.fields[i] = response.GetValue(kTransactionFields[i].pszElement);
    return answer;
}
