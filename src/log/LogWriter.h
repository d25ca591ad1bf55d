// The daily log: CLineQueue (the guarded list of pending lines), CLogWriter (one worker thread that
// appends batches to CORVANE_LOGS/XMLmmddyyyy.log) and GetLogWriter (the process's one writer).
#pragma once

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class CLogWriter;
class CCriticalSection; // the queue's lock
class CEvent;           // a signal the worker waits on

// The process's one writer, made on first use with the working directory and the real clock,
// destroyed at process exit (writing what is still queued). User-interface thread only.
CLogWriter* GetLogWriter();

// While a guard lives, GetLogWriter returns the guard's writer: a test gives each case its own
// writer and folder, and destroys the writer before removing the folder.
CLogWriter*& CurrentLogWriterOverride();
class CLogWriterOverride : public CHookGuard<CLogWriter*> {
public:
    explicit CLogWriterOverride(CLogWriter* pWriter)
        : CHookGuard<CLogWriter*>(CurrentLogWriterOverride(), pWriter) {}
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
    struct SStorage;
    // For a worker that outlives the queue: the storage stays allocated for good instead of being
    // freed under it.
    void KeepStorage() { m_bKeepStorage = true; }

    // The lock and both arrays live on the heap (see KeepStorage); the references name them.
    SStorage* const m_pStorage;
    CCriticalSection* const m_pLock; // guards m_pending
    CStringArray& m_pending;         // queued lines, oldest first
    CStringArray& m_batch;           // lines taken for the current write pass; the consumer's alone

private:
    bool m_bKeepStorage = false;
};

class CLogWriter : public CLineQueue {
public:
    using Clock = std::function<std::time_t()>; // local time is derived with localtime_r

    // Lines that could not be written are kept for the next batch, the newest up to this many bytes
    // in all; older ones are dropped, and one record says how many once writing works again.
    static constexpr std::size_t kKeptBytes = 16u << 20;
    static constexpr std::chrono::milliseconds kDefaultLockWait{5000};
    static constexpr std::chrono::milliseconds kShutdownWait{20000};

    static std::time_t RealClock() { return std::time(nullptr); }

    // Log files are baseDir + "/CORVANE_LOGS/XMLmmddyyyy.log"; the folder is made again when it has
    // gone. lockWait bounds how long a batch waits for another process's lock on the day's file.
    explicit CLogWriter(std::string baseDir = ".", Clock clock = &RealClock,
                        std::chrono::milliseconds lockWait = kDefaultLockWait,
                        std::size_t keptBytes = kKeptBytes);
    // Stops, lets the worker write every queued line and waits for it at most kShutdownWait.
    ~CLogWriter() override;

    // Queues "[%H:%M:%S]" + the printf-style message. Text the program did not write itself goes in
    // as an argument ("%s"), never as the format. Returns false (queuing nothing) once stopped.
    bool Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // True once, on the first call after lines could not be written: the window tells the operator.
    bool TakeFailureNotice();
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
