// CPaymentControl: the methods both payment controls offer, each sent to the DISPID its control gives it.
#pragma once

#include <cstdint>

#include "controls/HostedControl.h"

template <typename Dispids> class CPaymentControl : public CHostedControl {
public:
    CString SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                          const CString& strCaller) {
        return InvokeHelper(Dispids::SubmitRequest, {strRequest, nOption, strExtra, strCaller});
    }
    CString StoreServerList(const CString& strServers, std::int16_t nOption) {
        return InvokeHelper(Dispids::StoreServerList, {strServers, nOption});
    }
    CString PingServerList(const CString& strPort, std::int16_t nOption) {
        return InvokeHelper(Dispids::PingServerList, {strPort, nOption});
    }
    CString GetIPFromServerName(const CString& strServer, std::int16_t nOption) {
        return InvokeHelper(Dispids::GetIPFromServerName, {strServer, nOption});
    }
    CString PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption) {
        return InvokeHelper(Dispids::PingSingleIP, {strServer, strPort, nOption});
    }
};
