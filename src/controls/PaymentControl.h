// CPaymentControl: the methods every payment control offers, each sent to the DISPID its row of the
// target list gives it.
#pragma once

#include <cstdint>

#include "controls/ComponentChoice.h"
#include "controls/HostedControl.h"
#include "controls/PaymentTargets.h"

class CPaymentControl : public CHostedControl {
public:
    explicit CPaymentControl(ETarget target) : m_target(TargetInfo(target)) {}

    const STargetInfo& Target() const { return m_target; }

    // Makes the component of this target's class identifier: from the library (or cassette) chosen
    // for the target when there is one, else through the registry; inside the recorder when the
    // calls are recorded.
    BOOL Create(int nID, const SComponentChoice& choice) {
        (void)nID;
        m_strComponentProblem = choice.strProblem;
        AttachComponent(CreateChosenComponent(m_target, choice));
        return TRUE;
    }
    BOOL Create(int nID) { return Create(nID, ChooseComponent(m_target)); }

    // Why the library chosen for this target cannot be used (every call then fails with this text);
    // empty when it can.
    const std::string& ComponentProblem() const { return m_strComponentProblem; }

    CString SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                          const CString& strCaller) {
        return InvokeHelper(m_target.dispids.nSubmitRequest, {strRequest, nOption, strExtra, strCaller});
    }
    CString StoreServerList(const CString& strServers, std::int16_t nOption) {
        return InvokeHelper(m_target.dispids.nStoreServerList, {strServers, nOption});
    }
    CString PingServerList(const CString& strPort, std::int16_t nOption) {
        return InvokeHelper(m_target.dispids.nPingServerList, {strPort, nOption});
    }
    CString GetIPFromServerName(const CString& strServer, std::int16_t nOption) {
        return InvokeHelper(m_target.dispids.nGetIPFromServerName, {strServer, nOption});
    }
    CString PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption) {
        return InvokeHelper(m_target.dispids.nPingSingleIP, {strServer, strPort, nOption});
    }

protected:
    CString GetDeviceListOfControl() { return InvokeHelper(m_target.dispids.nGetDeviceList, {}); }

private:
    const STargetInfo& m_target;
    std::string m_strComponentProblem;
};
