// The daily log: CLineQueue (the guarded list of pending lines), CLogWriter (one worker thread that
// appends batches to CORVANE_LOGS/XMLmmddyyyy.log) and GetLogWriter (the process's one writer).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/MfcTypes.h"

class CLogWriter;

// The process's one writer, made on first use with the working directory and the real clock,
// destroyed at process exit (writing what is still queued). User-interface thread only.
CLogWriter* GetLogWriter();

// Events that share one mutex and condition variable, so that a thread can wait for either of two.
class CEventGroup {
public:
    CEventGroup() = default;
    CEventGroup(const CEventGroup&) = delete;
    CEventGroup& operator=(const CEventGroup&) = delete;

private:
    friend class CEvent;
    std::mutex m_lock;
    std::condition_variable m_cvChanged;
};

// A signal that is set or not. An auto-reset event is cleared by the wait it ends; a manual-reset
// one stays set for good once set (nothing clears it).
class CEvent {
public:
    enum EReset { eAutoReset, eManualReset };

    CEvent(CEventGroup& group, EReset reset) : m_group(group), m_bAutoReset(reset == eAutoReset) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set();
    bool IsSet() const { return m_bSignalled.load(std::memory_order_acquire); } // never clears
    // Waits until set or until the time-out; false on time-out.
    bool Wait(std::chrono::milliseconds timeout);
    // Waits without limit until either is set; 0 for first, 1 for second (first wins when both are).
    // Both must belong to one group.
    static int WaitForEither(CEvent& first, CEvent& second);

private:
    CEventGroup& m_group;
    const bool m_bAutoReset;
    std::atomic<bool> m_bSignalled{false}; // changed only under the group's lock
    int m_nWaiters = 0; // under the group's lock; Set() skips the wake-up call while nobody waits
};

// Lines queued by producers and taken all at once by one consumer.
class CLineQueue {
public:
    CLineQueue();
    CLineQueue(const CLineQueue&) = delete;
    CLineQueue& operator=(const CLineQueue&) = delete;

    virtual void Push(CString line);
    virtual ~CLineQueue();

    // Appends every pending line, oldest first, to m_batch and empties the pending list.
    void TakeAll();

protected:
    struct SStorage {
        std::mutex lock;
        CStringArray pending;
        CStringArray batch;
        void TakeAll();
    };

    // For a worker that outlives the queue: the storage stays allocated for good instead of being
    // freed under it.
    void KeepStorage() { m_bKeepStorage = true; }

    // The lock and both arrays live on the heap (see KeepStorage); the references name them.
    SStorage* const m_pStorage;
    std::mutex* const m_pLock; // guards m_pending
    CStringArray& m_pending;   // queued lines, oldest first
    CStringArray& m_batch;     // lines taken for the current write pass; the consumer's alone

private:
    bool m_bKeepStorage = false;
};

class CLogWriter : public CLineQueue {
public:
    using Clock = std::function<std::time_t()>; // local time is derived with localtime_r

    static constexpr int kStillRunning = -1; // ExitCode() while the worker runs
    static constexpr int kOpenFailed = 255;  // the worker could not open (or lock) the day's file
    static constexpr std::chrono::milliseconds kDefaultLockWait{5000};
    static constexpr std::chrono::milliseconds kShutdownWait{20000};

    static std::time_t RealClock() { return std::time(nullptr); }

    // Log files are baseDir + "/CORVANE_LOGS/XMLmmddyyyy.log"; the directory must exist already.
    // lockWait bounds how long a batch waits for another process's lock on the day's file.
    explicit CLogWriter(std::string baseDir = ".", Clock clock = &RealClock,
                        std::chrono::milliseconds lockWait = kDefaultLockWait);
    // Stops, lets the worker write every queued line and waits for it at most kShutdownWait.
    ~CLogWriter() override;

    // Queues "[%H:%M:%S]" + the printf-style message. Text the program did not write itself goes in
    // as an argument ("%s"), never as the format. Returns false (queuing nothing) once stopped.
    bool Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The worker's exit code: kStillRunning, 0 after a stop, kOpenFailed.
    int ExitCode() const;
    // Waits until the worker has ended; false on time-out.
    bool WaitForWorker(std::chrono::milliseconds timeout);
    // The file a batch written at moment t goes to.
    CString FileNameFor(std::time_t t) const;

private:
    struct SWorker; // what the worker thread touches; leaked with the queue if the worker hangs
    static void LogWriterThreadProc(SWorker* pWorker);

    const CString m_strPrefix;
    SWorker* const m_pWorker;
    CEvent& m_evtLineReady; // auto-reset; set by every successful Write, wakes the worker
    CEvent& m_evtStop;      // manual-reset; once set, Write refuses lines and the worker finishes
    std::unique_ptr<std::thread> m_pThread; // null if starting it failed
};
