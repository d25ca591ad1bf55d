// Recording: a cassette file shared by every control of the process, and the component that
// writes each call of the component it wraps.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "controls/PaymentTargets.h"
#include "platform/Component.h"

namespace tvxreplay {

// One cassette being written. Each call is one write(2) of its whole text once it has returned, so
// a crash or a kill loses at most the call in progress.
class CCassetteWriter {
public:
    CCassetteWriter(const CCassetteWriter&) = delete;
    CCassetteWriter& operator=(const CCassetteWriter&) = delete;
    ~CCassetteWriter();

    // The writer of path for this process: made (the file emptied) when none is open, else shared.
    // Null with the reason when the file cannot be written.
    static std::shared_ptr<CCassetteWriter> Open(const std::string& strPath, std::string& strProblem);

    void Append(const STargetInfo& target, int nDispid, const DispArgs& args, bool bError,
                const std::string& strAnswer);

    const std::string& Path() const { return m_strPath; }
    // Why a call could not be written; empty while every call could.
    std::string Failure() const;

private:
    CCassetteWriter(std::string strPath, int fd) : m_strPath(std::move(strPath)), m_fd(fd) {}
    bool WriteAll(const std::string& text);

    const std::string m_strPath;
    const int m_fd;
    mutable std::mutex m_mutex;
    int m_nCalls = 0;
    std::string m_strFailure;
};

// Passes every call to the wrapped component unchanged, then writes it to the cassette.
class CRecordingComponent : public IComponent {
public:
    CRecordingComponent(std::unique_ptr<IComponent> inner, const STargetInfo& target,
                        std::shared_ptr<CCassetteWriter> writer)
        : m_pInner(std::move(inner)), m_target(target), m_pWriter(std::move(writer)) {}

    std::string Invoke(int dispid, const DispArgs& args) override;

private:
    std::unique_ptr<IComponent> m_pInner;
    const STargetInfo& m_target;
    std::shared_ptr<CCassetteWriter> m_pWriter;
};

} // namespace tvxreplay
