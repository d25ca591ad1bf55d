// CCallWorker: runs one call at a time on a thread of its own, so that the caller can stop waiting
// for a call that does not end. A component in the same process cannot be stopped safely, so a
// worker whose call overran is given up: its thread is left running, never joined.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CCallWorker {
public:
    CCallWorker();
    CCallWorker(const CCallWorker&) = delete;
    CCallWorker& operator=(const CCallWorker&) = delete;
    // Ends an idle worker's thread; a given-up worker's thread is detached, still in its call.
    ~CCallWorker();

    // Runs job on the worker; false when it had not ended within limit. The worker is then given up
    // and runs nothing more: whatever job uses must outlive it (the caller leaks it on purpose).
    bool Run(std::function<void()> job, std::chrono::duration<double> limit);
    bool GivenUp() const { return m_bGivenUp; }

private:
    struct SShared {
        std::mutex mutex;
        std::condition_variable changed;
        std::function<void()> job;
        bool bHasJob = false, bDone = false, bQuit = false;
    };
    static void Loop(std::shared_ptr<SShared> pShared);

    std::shared_ptr<SShared> m_pShared = std::make_shared<SShared>();
    std::thread m_thread;
    bool m_bGivenUp = false;
};
