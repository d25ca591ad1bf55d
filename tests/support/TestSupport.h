// What the test folders share: a temporary folder of the test's own, whole-file reads and writes,
// and a fake payment component that records its calls.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Component.h"

namespace tvxtest {

// A new empty folder under the system's temporary folder, removed with everything in it at the end.
// Entered, it is the working directory meanwhile, and the earlier one comes back at the end.
class CTempDir {
public:
    enum EEnter { eStayOutside, eEnter };
    explicit CTempDir(EEnter enter = eStayOutside);
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_saved; // the working directory before, when entered
};

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// Every call a fake component was given, and how it answers; shared by the test and the fakes the
// registry makes.
struct SFakeCall {
    int dispid;
    DispArgs args;
};
struct SFakeState {
    std::vector<SFakeCall> calls;
    std::function<std::string(int dispid, const DispArgs& args)> answer = [](int, const DispArgs&) {
        return std::string("<RStream></RStream>");
    };
};

struct CFakeComponent : IComponent {
    explicit CFakeComponent(std::shared_ptr<SFakeState> state) : m_state(std::move(state)) {}
    std::string Invoke(int dispid, const DispArgs& args) override {
        m_state->calls.push_back({dispid, args});
        return m_state->answer(dispid, args);
    }
    std::shared_ptr<SFakeState> m_state;
};

// Registers a fake on the state under a class identifier for the life of the object.
inline std::unique_ptr<CComponentRegistration> RegisterFake(const std::string& clsid,
                                                            std::shared_ptr<SFakeState> state) {
    return std::make_unique<CComponentRegistration>(
        clsid, [state = std::move(state)] { return std::make_unique<CFakeComponent>(state); });
}

} // namespace tvxtest
