// CKVTCLientX: the client payment control.
#pragma once

#include "controls/ClassIds.h"
#include "controls/PaymentControl.h"

struct SClientDispids {
    static constexpr int SubmitRequest = 1;
    static constexpr int StoreServerList = 2;
    static constexpr int PingServerList = 3;
    static constexpr int GetIPFromServerName = 5;
    static constexpr int PingSingleIP = 6;
};

class CKVTCLientX : public CPaymentControl<SClientDispids> {
public:
    static constexpr const char* clsid = kClientClsid;
    BOOL Create(int nID) { return CreateControl(clsid, nID); }
};
