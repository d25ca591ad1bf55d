// CTransactionCycle: one scripted transaction without a window — the request fields into the request,
// its text, the call on the chosen payment control, the log entries and the response's fields. The
// main window feeds it from its boxes; tranvex-run feeds it from the script.
#pragma once

#include <functional>

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"
#include "platform/MfcTypes.h"
#include "xml/XmlDocHelper.h"

// The values written into the request. AcqRefData, ProcessData and RecordNo are the last
// response's, so that each answer's tokens travel into the next request.
struct SRequestFields {
    CString strRefNo;
    CString strAuthCode;
    CString strAcqRefData;
    CString strProcessData;
    CString strRecordNo;
    CString strPurchase;
    CString strTranCode;
};

struct SRequestElement {
    CString SRequestFields::*pValue;
    const char* pszElement;
    const char* pszParent; // where the element goes when the request lacks it
};

// In the order they are written.
inline constexpr SRequestElement kRequestElements[] = {
    {&SRequestFields::strRefNo, "RefNo", "Transaction"},
    {&SRequestFields::strAuthCode, "AuthCode", "Transaction"},
    {&SRequestFields::strAcqRefData, "AcqRefData", "Transaction"},
    {&SRequestFields::strProcessData, "ProcessData", "Transaction"},
    {&SRequestFields::strRecordNo, "RecordNo", "Transaction"},
    {&SRequestFields::strPurchase, "Purchase", "Amount"},
    {&SRequestFields::strTranCode, "TranCode", "Transaction"},
};

// The response's fields as the window shows them; a missing element reads as empty.
struct SResponseFields {
    CString strRefNo;
    CString strAuthCode;
    CString strResponseOrigin;
    CString strCmdStatus;
    CString strTextResponse;
    CString strPurchase;
    CString strGratuity;
    CString strAuthorize;
    CString strAcqRefData;
    CString strProcessData;
    CString strRecordNo;
    CString strBalance;
};

struct SResponseElement {
    const char* pszElement;
    CString SResponseFields::*pValue;
};

// In the order they are read.
inline constexpr SResponseElement kResponseElements[] = {
    {"RefNo", &SResponseFields::strRefNo},
    {"AuthCode", &SResponseFields::strAuthCode},
    {"ResponseOrigin", &SResponseFields::strResponseOrigin},
    {"CmdStatus", &SResponseFields::strCmdStatus},
    {"TextResponse", &SResponseFields::strTextResponse},
    {"Purchase", &SResponseFields::strPurchase},
    {"Gratuity", &SResponseFields::strGratuity},
    {"Authorize", &SResponseFields::strAuthorize},
    {"AcqRefData", &SResponseFields::strAcqRefData},
    {"ProcessData", &SResponseFields::strProcessData},
    {"RecordNo", &SResponseFields::strRecordNo},
    {"Balance", &SResponseFields::strBalance},
};

// What a completed run leaves for the next request.
void CarryTokens(const SResponseFields& response, SRequestFields& next);

// The fields as "Load Next" leaves them for an unattended run: the request column from the loaded
// request, the carried tokens from the last completed run.
SRequestFields LoadedRequestFields(CXmlDocHelper& request, const SRequestFields& carried);

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
    SResponseFields fields;
};

class CTransactionCycle {
public:
    using LogSink = std::function<void(const CString& entry)>; // each entry is logged verbatim
    static constexpr int kTargetClient = 0;
    static constexpr int kTargetDevice = 1;

    CTransactionCycle(CKVTCLientX& client, CKvtHRNX& device, LogSink log)
        : m_client(client), m_device(device), m_log(std::move(log)) {}

    // Non-empty values go into the request: the first element of the name gets the text, or a new
    // one is added under its parent. An empty value never removes or blanks an element. Failures
    // stay in the request's error record.
    static void UpdateRequest(CXmlDocHelper& request, const SRequestFields& fields);

    // Logs the request text, calls SubmitRequest on the target (0 client, 1 device, else none), logs
    // the response and reads its fields. The parsed response stays in response when it is given.
    // A failed component call throws CDispatchError after the request was logged.
    SCycleAnswer Submit(int nTarget, const CString& strRequest, CXmlDocHelper* pResponse = nullptr);

private:
    CKVTCLientX& m_client;
    CKvtHRNX& m_device;
    LogSink m_log;
};
