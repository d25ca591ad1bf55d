// Writing cassettes as calls return.
#include "replay/CallRecorder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

#include "replay/Cassette.h"

namespace tvxreplay {

namespace {

std::mutex g_openMutex;
std::map<std::string, std::weak_ptr<CCassetteWriter>>& OpenWriters() {
    static std::map<std::string, std::weak_ptr<CCassetteWriter>> writers;
    return writers;
}

} // namespace

std::shared_ptr<CCassetteWriter> CCassetteWriter::Open(const std::string& strPath, std::string& strProblem) {
    const std::lock_guard lock(g_openMutex);
    std::weak_ptr<CCassetteWriter>& slot = OpenWriters()[strPath];
    if (auto writer = slot.lock())
        return writer;
    const int fd = ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        strProblem = "Cannot record the calls in " + strPath + ": " + std::strerror(errno);
        return nullptr;
    }
    std::shared_ptr<CCassetteWriter> writer(new CCassetteWriter(strPath, fd));
    if (!writer->WriteAll(CassetteHead())) {
        strProblem = "Cannot record the calls in " + strPath + ": " + writer->m_strFailure;
        return nullptr;
    }
    slot = writer;
    return writer;
}

CCassetteWriter::~CCassetteWriter() {
    ::close(m_fd);
}

bool CCassetteWriter::WriteAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_strFailure = n < 0 ? std::strerror(errno) : "nothing written";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void CCassetteWriter::Append(const STargetInfo& target, int nDispid, const DispArgs& args, bool bError,
                             const std::string& strAnswer) {
    const std::lock_guard lock(m_mutex);
    ++m_nCalls;
    if (!m_strFailure.empty())
        return; // the first failure is the one reported
    if (!WriteAll(FormatCall(m_nCalls, target, nDispid, args, bError, strAnswer)))
        m_strFailure = "call " + std::to_string(m_nCalls) + " and later: " + m_strFailure;
}

std::string CCassetteWriter::Failure() const {
    const std::lock_guard lock(m_mutex);
    return m_strFailure.empty() ? std::string() : "Cannot record the calls in " + m_strPath + ": " + m_strFailure;
}

std::string CRecordingComponent::Invoke(int dispid, const DispArgs& args) {
    std::string answer;
    try {
        answer = m_pInner->Invoke(dispid, args);
    } catch (const std::exception& e) {
        m_pWriter->Append(m_target, dispid, args, true, e.what());
        throw;
    }
    m_pWriter->Append(m_target, dispid, args, false, answer);
    return answer;
}

} // namespace tvxreplay
