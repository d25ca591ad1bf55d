// The worker thread behind calls with a time limit.
#include "runner/CallWorker.h"

CCallWorker::CCallWorker() : m_thread(&CCallWorker::Loop, m_pShared) {}

CCallWorker::~CCallWorker() {
    if (m_bGivenUp) {
        m_thread.detach(); // still in a call that may never end: joining could hang the program
        return;
    }
    {
        std::lock_guard lock(m_pShared->mutex);
        m_pShared->bQuit = true;
    }
    m_pShared->changed.notify_all();
    m_thread.join();
}

void CCallWorker::Loop(std::shared_ptr<SShared> pShared) {
    std::unique_lock lock(pShared->mutex);
    for (;;) {
        pShared->changed.wait(lock, [&] { return pShared->bHasJob || pShared->bQuit; });
        if (!pShared->bHasJob)
            return;
        std::function<void()> job = std::move(pShared->job);
        pShared->bHasJob = false;
        lock.unlock();
        job(); // the job keeps its own failures
        job = nullptr;
        lock.lock();
        pShared->bDone = true;
        pShared->changed.notify_all();
    }
}

bool CCallWorker::Run(std::function<void()> job, std::chrono::duration<double> limit) {
    if (m_bGivenUp)
        return false;
    std::unique_lock lock(m_pShared->mutex);
    m_pShared->job = std::move(job);
    m_pShared->bHasJob = true;
    m_pShared->bDone = false;
    m_pShared->changed.notify_all();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(limit);
    if (m_pShared->changed.wait_until(lock, deadline, [&] { return m_pShared->bDone; }))
        return true;
    m_bGivenUp = true;
    return false;
}
