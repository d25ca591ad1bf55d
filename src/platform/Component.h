// Hosted payment components: the calling interface, its one error type and the registry by class identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

// One argument of a dispatch call: a string or a 16-bit signed integer.
using DispArg = std::variant<std::string, std::int16_t>;
using DispArgs = std::vector<DispArg>;

// A failed dispatch call. No handler catches it; the dispatcher reports its text.
class CDispatchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A component answers a method call (by DISPID) with one text, or throws CDispatchError.
class IComponent {
public:
    virtual ~IComponent() = default;
    virtual std::string Invoke(int dispid, const DispArgs& args) = 0;
};

// A component that could not be created: every call fails with the same dispatch error.
class CMissingComponent : public IComponent {
public:
    explicit CMissingComponent(std::string reason) : m_strReason(std::move(reason)) {}
    std::string Invoke(int, const DispArgs&) override { throw CDispatchError(m_strReason); }

private:
    std::string m_strReason;
};

// Maps a class identifier (GUID text) to a factory. Tests register fakes here before the main
// window is made; anything not registered is loaded from a component library.
class CComponentRegistry {
public:
    using Factory = std::function<std::unique_ptr<IComponent>()>;

    static CComponentRegistry& Instance();

    void Register(const std::string& clsid, Factory factory);
    void Unregister(const std::string& clsid);

    // Never null: a component that cannot be made comes back as a CMissingComponent.
    std::unique_ptr<IComponent> Create(const std::string& clsid) const;

private:
    std::map<std::string, Factory> m_factories;
};

// Registers a factory for the life of a scope (tests); at its end the class identifier has no
// factory, so the registry loads its library again.
class CComponentRegistration {
public:
    CComponentRegistration(std::string clsid, CComponentRegistry::Factory factory);
    ~CComponentRegistration();
    CComponentRegistration(const CComponentRegistration&) = delete;
    CComponentRegistration& operator=(const CComponentRegistration&) = delete;

private:
    std::string m_strClsid;
};
