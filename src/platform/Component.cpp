// The component registry: registered factories first, component libraries otherwise.
#include "platform/Component.h"

#include "platform/ComponentLibrary.h"

CComponentRegistry& CComponentRegistry::Instance() {
    static CComponentRegistry registry;
    return registry;
}

void CComponentRegistry::Register(const std::string& clsid, Factory factory) {
    m_factories[clsid] = std::move(factory);
}

void CComponentRegistry::Unregister(const std::string& clsid) { m_factories.erase(clsid); }

std::unique_ptr<IComponent> CComponentRegistry::Create(const std::string& clsid) const {
    auto it = m_factories.find(clsid);
    std::unique_ptr<IComponent> component;
    try {
        component = it != m_factories.end() ? it->second() : LoadComponentLibrary(clsid);
    } catch (const std::exception& e) {
        return std::make_unique<CMissingComponent>("Unable to create component " + clsid + ": " + e.what());
    }
    if (!component)
        return std::make_unique<CMissingComponent>("Unable to create component " + clsid);
    return component;
}

CComponentRegistration::CComponentRegistration(std::string clsid, CComponentRegistry::Factory factory)
    : m_strClsid(std::move(clsid)) {
    CComponentRegistry::Instance().Register(m_strClsid, std::move(factory));
}

CComponentRegistration::~CComponentRegistration() { CComponentRegistry::Instance().Unregister(m_strClsid); }
