// CParsedResponse, the status fields of a response document, and ScanResponse, which reads them by
// searching the text for fixed tags. Windowless: problems go to a report callback.
#pragma once

#include <functional>
#include <string_view>

#include "platform/MfcTypes.h"

class CParsedResponse {
public:
    virtual ~CParsedResponse() = default;

    void Clear();

    bool m_bSuccess = false;
    bool m_bError = false;
    bool m_bTranResponse = false;
    CString m_strResponseOrigin;
    CString m_strReturnCode;
    CString m_strTextResponse;
    CString m_strMerchantID;
    CString m_strTerminalID;
    CString m_strOperatorID;
    CString m_strAcctNo;
    CString m_strExpDate;
    CString m_strCardType;
    CString m_strTranCode;
    CString m_strAuthCode;
    CString m_strCaptureStatus;
    CString m_strRefNo;
    CString m_strUserTraceData;
    CString m_strAVSResult;
    CString m_strMemo;
    CString m_strCmdStatus;
};

using ScanReport = std::function<void(const CString& message)>;

// Clears response, fills it from text and settles the outcome. Returns false after handing the
// missing part's message to report; response keeps what was read before that.
bool ScanResponse(std::string_view text, CParsedResponse& response, const ScanReport& report);
