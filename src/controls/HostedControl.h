// CHostedControl: the window's handle on one hosted payment component, called by DISPID.
#pragma once

#include <memory>
#include <string>

#include "platform/Component.h"
#include "platform/MfcTypes.h"

struct CDataExchange;

class CHostedControl {
public:
    virtual ~CHostedControl() = default;

    // Makes the component for clsid through the registry. A component that cannot be made still
    // yields a control: every call on it then fails with a dispatch error.
    BOOL CreateControl(const std::string& clsid, int nID);

    // One method call; throws CDispatchError when it fails.
    CString InvokeHelper(int dispid, const DispArgs& args);

protected:
    // A component made elsewhere (from a library chosen for the control).
    void AttachComponent(std::unique_ptr<IComponent> component) { m_pComponent = std::move(component); }

private:
    std::unique_ptr<IComponent> m_pComponent;
};

// The controls are made with the window and know their IDs already: binding them in the data
// exchange has nothing left to do.
inline void DDX_Control(CDataExchange*, int, CHostedControl&) {}
