// CTransactionCycle: one scripted transaction without a window — the request fields into the request,
// its text, the call on the chosen payment control, the log entries and the response's fields. The
// main window feeds it from its boxes; tranvex-run feeds it from the script.
#pragma once

#include <functional>

#include "controls/PaymentControl.h"
#include "controls/TransactionFields.h"
#include "platform/MfcTypes.h"
#include "xml/XmlDocHelper.h"

// The values written into the request, by field: the carried ones are the last answer's.
void CarryTokens(const CFieldValues& response, CFieldValues& next);

// The fields as "Load Next" leaves them for an unattended run: the request column from the loaded
// request, the carried tokens from the last completed run.
CFieldValues LoadedRequestFields(CXmlDocHelper& request, const CFieldValues& carried);

// The answer to one submitted request.
struct SCycleAnswer {
    enum EOutcome {
        eCompleted,      // the response parsed; fields and response hold it
        eNoTarget,       // no control chosen: nothing was called
        eResponseNotXml, // strMessage holds "PArsing Response->" and the parse error
    };
    EOutcome outcome = eNoTarget;
    CString strResponse;
    CString strMessage;
    CFieldValues fields; // the response's, for every field with a response box
};

class CTransactionCycle {
public:
    using LogSink = std::function<void(const CString& entry)>; // each entry is logged verbatim

    explicit CTransactionCycle(LogSink log) : m_log(std::move(log)) {}

    // Non-empty values of the written fields go into the request: the first element of the name
    // gets the text, or a new one is added under its parent. An empty value never removes or blanks
    // an element. Failures stay in the request's error record.
    static void UpdateRequest(CXmlDocHelper& request, const CFieldValues& fields);

    // Logs the request text, calls SubmitRequest on the target (null: no target), logs the response
    // and reads its fields. The parsed response stays in response when it is given. A failed
    // component call throws CDispatchError after the request was logged.
    SCycleAnswer Submit(CPaymentControl* pTarget, const CString& strRequest,
                        CXmlDocHelper* pResponse = nullptr);

private:
    LogSink m_log;
};
