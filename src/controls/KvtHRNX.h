// CKvtHRNX: the device payment control, which alone can list its devices.
#pragma once

#include "controls/ClassIds.h"
#include "controls/PaymentControl.h"

struct SDeviceDispids {
    static constexpr int PingSingleIP = 3;
    static constexpr int GetIPFromServerName = 4;
    static constexpr int PingServerList = 6;
    static constexpr int StoreServerList = 7;
    static constexpr int SubmitRequest = 8;
    static constexpr int GetDeviceList = 9;
};

class CKvtHRNX : public CPaymentControl<SDeviceDispids> {
public:
    static constexpr const char* clsid = kDeviceClsid;
    BOOL Create(int nID) { return CreateControl(clsid, nID); }
    CString GetDeviceList() { return InvokeHelper(SDeviceDispids::GetDeviceList, {}); }
};
