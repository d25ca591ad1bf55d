// CKvtHRNX: the device payment control, which alone can list its devices.
#pragma once

#include "controls/PaymentControl.h"

class CKvtHRNX : public CPaymentControl {
public:
    static constexpr const char* clsid = TargetInfo(ETarget::Device).pszClsid;
    CKvtHRNX() : CPaymentControl(ETarget::Device) {}
    CString GetDeviceList() { return GetDeviceListOfControl(); }
};
