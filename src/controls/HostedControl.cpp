// Creating hosted components and calling them.
#include "controls/HostedControl.h"

BOOL CHostedControl::CreateControl(const std::string& clsid, int) {
    m_pComponent = CComponentRegistry::Instance().Create(clsid);
    return TRUE;
}

CString CHostedControl::InvokeHelper(int dispid, const DispArgs& args) {
    if (!m_pComponent)
        throw CDispatchError("The payment control has not been created.");
    return m_pComponent->Invoke(dispid, args);
}
