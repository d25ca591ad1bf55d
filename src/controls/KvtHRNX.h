// CKvtHRNX: the device payment control, method by method.
#pragma once

#include <cstdint>

#include "controls/ClassIds.h"
#include "controls/HostedControl.h"

class CKvtHRNX : public CHostedControl {
public:
    static constexpr const char* clsid = kDeviceClsid;

    enum Dispid { DISPID_GetDeviceList = 9, DISPID_SubmitRequest = 8, DISPID_StoreServerList = 7,
                  DISPID_PingServerList = 6, DISPID_GetIPFromServerName = 4, DISPID_PingSingleIP = 3 };

    BOOL Create(int nID) { return CreateControl(clsid, nID); }

    CString SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                          const CString& strCaller);
    CString StoreServerList(const CString& strServers, std::int16_t nOption);
    CString PingServerList(const CString& strPort, std::int16_t nOption);
    CString GetIPFromServerName(const CString& strServer, std::int16_t nOption);
    CString PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption);
    CString GetDeviceList();
};
