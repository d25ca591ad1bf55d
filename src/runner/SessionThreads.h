// Sessions on threads of their own, the stop that SIGINT and SIGTERM ask for, and what a run leaves
// behind when a session could not be waited for.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The signal that asked the run to stop (SIGINT, SIGTERM), or 0. Set by the handlers that
// CStopSignals installs.
int StopSignal();

// While it lives, SIGINT and SIGTERM set StopSignal instead of ending the process.
class CStopSignals {
public:
    CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;
    ~CStopSignals();

private:
    struct SSaved;
    std::unique_ptr<SSaved> m_pSaved;
};

// True once a run has left a thread in a component's call that may never end: the program must then
// end without destroying what that thread may still touch (see main).
bool RunnerLeftThreadsRunning();
void NoteThreadsLeftRunning();

class CSessionThreads {
public:
    static constexpr std::chrono::seconds kStopWait{5}; // for calls in progress once a stop is asked

    // body(n) for n in [0, nSessions), each on a thread.
    void Start(int nSessions, std::function<void(int nSession)> body);
    // Until every session has ended or, once stopRequested() is true, kStopWait longer. True when
    // every session ended; otherwise those left are detached, still running.
    bool Wait(const std::function<bool()>& stopRequested);
    ~CSessionThreads();

private:
    struct SShared {
        std::mutex mutex;
        std::condition_variable ended;
        int nRunning = 0;
    };
    std::shared_ptr<SShared> m_pShared = std::make_shared<SShared>();
    std::vector<std::thread> m_threads;
};
