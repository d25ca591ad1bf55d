// CKVTCLientX: the client payment control.
#pragma once

#include "controls/PaymentControl.h"

class CKVTCLientX : public CPaymentControl {
public:
    static constexpr const char* clsid = TargetInfo(ETarget::Client).pszClsid;
    CKVTCLientX() : CPaymentControl(ETarget::Client) {}
};
