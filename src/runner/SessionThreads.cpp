// Session threads and the stop signals.
#include "runner/SessionThreads.h"

#include <csignal>

namespace {

std::atomic<int> g_nStopSignal{0};
std::atomic<bool> g_bThreadsLeft{false};

extern "C" void OnStopSignal(int nSignal) { g_nStopSignal.store(nSignal); }

} // namespace

int StopSignal() { return g_nStopSignal.load(); }

struct CStopSignals::SSaved {
    struct sigaction interrupt {}, terminate{};
};

CStopSignals::CStopSignals() : m_pSaved(std::make_unique<SSaved>()) {
    g_nStopSignal.store(0);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_pSaved->interrupt);
    sigaction(SIGTERM, &action, &m_pSaved->terminate);
}

CStopSignals::~CStopSignals() {
    sigaction(SIGINT, &m_pSaved->interrupt, nullptr);
    sigaction(SIGTERM, &m_pSaved->terminate, nullptr);
}

bool RunnerLeftThreadsRunning() { return g_bThreadsLeft.load(); }
void NoteThreadsLeftRunning() { g_bThreadsLeft.store(true); }

void CSessionThreads::Start(int nSessions, std::function<void(int nSession)> body) {
    m_pShared->nRunning = nSessions;
    for (int n = 0; n < nSessions; ++n)
        m_threads.emplace_back([body, n, pShared = m_pShared] {
            body(n);
            std::lock_guard lock(pShared->mutex);
            --pShared->nRunning;
            pShared->ended.notify_all();
        });
}

bool CSessionThreads::Wait(const std::function<bool()>& stopRequested) {
    std::unique_lock lock(m_pShared->mutex);
    const auto allEnded = [&] { return m_pShared->nRunning == 0; };
    // A signal handler cannot wake a condition variable: the stop is looked for every few ms.
    while (!allEnded() && !stopRequested())
        m_pShared->ended.wait_for(lock, std::chrono::milliseconds(20), allEnded);
    if (!allEnded())
        m_pShared->ended.wait_for(lock, kStopWait, allEnded);
    const bool bAll = allEnded();
    lock.unlock();
    for (std::thread& thread : m_threads) {
        if (bAll)
            thread.join();
        else
            thread.detach(); // a session still in a call: it holds only what it shares
    }
    m_threads.clear();
    if (!bAll)
        NoteThreadsLeftRunning();
    return bAll;
}

CSessionThreads::~CSessionThreads() {
    for (std::thread& thread : m_threads)
        thread.join();
}
