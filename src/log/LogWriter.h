// The daily log: CLineQueue (the guarded list of pending lines), CLogWriter (one worker thread that
// appends batches to CORVANE_LOGS/XMLmmddyyyy.log) and GetLogWriter (the process's one writer).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class CLogWriter;

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

// Lines queued by producers and taken all at once by one consumer thread.
class CLineQueue {
public:
    CLineQueue() = default;
    CLineQueue(const CLineQueue&) = delete;
    CLineQueue& operator=(const CLineQueue&) = delete;
    virtual ~CLineQueue(); // lines still pending are discarded

    // Appends one line and wakes the consumer.
    void Push(CString line);

protected:
    using Lines = std::deque<CString>;
    // What producers and the consumer share. The consumer holds it too, so that one still busy when
    // the queue is destroyed (a hung file system) never uses freed memory.
    struct SShared {
        std::mutex lock;
        std::condition_variable cvChanged; // a line pushed, or the queue closed
        Lines pending;                     // oldest first
        bool bClosed = false;              // the consumer takes what is left and ends
    };
    // Consumer side: waits until lines are pending or the queue is closed, then takes every pending
    // line. bClosed tells the consumer that these are the last.
    static Lines WaitAndTake(SShared& shared, bool& bClosed);
    // No more lines: the consumer takes what is pending and ends.
    void Close();

    const std::shared_ptr<SShared> m_pShared = std::make_shared<SShared>();
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
    class CWorker; // the worker thread's state; shared with it, as the queue is
    static void LogWriterThreadProc(std::shared_ptr<CWorker> pWorker, std::shared_ptr<SShared> pShared);

    const CString m_strPrefix = "XML";
    const Clock m_clock;
    const std::shared_ptr<CWorker> m_pWorker;
    std::atomic<bool> m_bStopped{false}; // set by the destructor, or when the worker cannot start
    std::thread m_thread;
    std::future<void> m_ended; // ready once the worker has returned
};
