// CKVTCLientX: the client payment control, method by method.
#pragma once

#include <cstdint>

#include "controls/ClassIds.h"
#include "controls/HostedControl.h"

class CKVTCLientX : public CHostedControl {
public:
    static constexpr const char* clsid = kClientClsid;

    enum Dispid { DISPID_SubmitRequest = 1, DISPID_StoreServerList = 2, DISPID_PingServerList = 3,
                  DISPID_GetIPFromServerName = 5, DISPID_PingSingleIP = 6 };

    BOOL Create(int nID) { return CreateControl(clsid, nID); }

    CString SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                          const CString& strCaller);
    CString StoreServerList(const CString& strServers, std::int16_t nOption);
    CString PingServerList(const CString& strPort, std::int16_t nOption);
    CString GetIPFromServerName(const CString& strServer, std::int16_t nOption);
    CString PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption);
};
