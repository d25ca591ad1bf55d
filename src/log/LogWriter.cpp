// The daily log writer: events, the line queue, the worker that appends batches, GetLogWriter.
#include "log/LogWriter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class CCriticalSection : public std::mutex {};

// Events that share one mutex and condition variable, so that a thread can wait for either of two.
struct SEventGroup {
    std::mutex lock;
    std::condition_variable cvChanged;
};

// A signal that is set or not. An auto-reset event is cleared by the wait it ends; a manual-reset
// one stays set for good once set (nothing clears it).
class CEvent {
public:
    enum EReset { eAutoReset, eManualReset };

    CEvent(SEventGroup& group, EReset reset) : m_group(group), m_bAutoReset(reset == eAutoReset) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set() {
        bool bWake;
        {
            std::lock_guard<std::mutex> lock(m_group.lock);
            m_bSignalled.store(true, std::memory_order_release);
            bWake = m_nWaiters > 0;
        }
        // After unlocking, so the woken thread does not block at once on the lock we hold.
        if (bWake)
            m_group.cvChanged.notify_all();
    }

    bool IsSet() const { return m_bSignalled.load(std::memory_order_acquire); } // never clears

    // Waits until set or until the time-out; false on time-out.
    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_group.lock);
        ++m_nWaiters;
        const bool bSet = m_group.cvChanged.wait_for(lock, timeout, [this] { return IsSet(); });
        --m_nWaiters;
        if (bSet && m_bAutoReset)
            m_bSignalled.store(false, std::memory_order_relaxed);
        return bSet;
    }

    // Waits without limit until either is set; 0 for first, 1 for second (first wins when both are).
    // Both must belong to one group.
    static int WaitForEither(CEvent& first, CEvent& second) {
        SEventGroup& group = first.m_group;
        std::unique_lock<std::mutex> lock(group.lock);
        ++first.m_nWaiters, ++second.m_nWaiters;
        group.cvChanged.wait(lock, [&] { return first.IsSet() || second.IsSet(); });
        --first.m_nWaiters, --second.m_nWaiters;
        CEvent& hit = first.IsSet() ? first : second;
        if (hit.m_bAutoReset)
            hit.m_bSignalled.store(false, std::memory_order_relaxed);
        return &hit == &first ? 0 : 1;
    }

private:
    SEventGroup& m_group;
    const bool m_bAutoReset;
    std::atomic<bool> m_bSignalled{false}; // changed only under the group's lock
    int m_nWaiters = 0; // under the group's lock; Set() skips the wake-up call while nobody waits
};

// ---- line queue ----

struct CLineQueue::SStorage {
    CCriticalSection lock;
    CStringArray pending;
    CStringArray batch;

    void TakeAll() {
        std::lock_guard<std::mutex> guard(lock);
        if (batch.empty()) {
            // The usual case: hand the whole array over and give producers the emptied batch's storage.
            batch.swap(pending);
        } else {
            batch.insert(batch.end(), std::make_move_iterator(pending.begin()),
                         std::make_move_iterator(pending.end()));
            pending.clear();
        }
    }
};

CLineQueue::CLineQueue()
    : m_pStorage(new SStorage), m_pLock(&m_pStorage->lock), m_pending(m_pStorage->pending),
      m_batch(m_pStorage->batch) {}

CLineQueue::~CLineQueue() {
    if (!m_bKeepStorage)
        delete m_pStorage; // lines still pending are discarded
}

void CLineQueue::Push(CString line) {
    std::lock_guard<std::mutex> lock(*m_pLock);
    m_pending.push_back(std::move(line));
}

void CLineQueue::TakeAll() {
    m_pStorage->TakeAll();
}

// ---- writer ----

namespace {

constexpr char kLogDir[] = "CORVANE_LOGS";
constexpr char kRecordEnd[] = "\n----------\n"; // line end, then the separator line
constexpr std::size_t kChunk = 64 * 1024;       // bytes gathered before one write()
// After a wake-up the worker lets lines gather this long (unless stopped) before taking them: bigger
// batches, and producers in a burst find it busy rather than asleep, so they skip the wake-up call.
constexpr std::chrono::milliseconds kGather{1};

struct SStamp {
    std::time_t t = 0;
    bool bValid = false;
    std::size_t nLength = 0;
    char text[32] = {};
};

// The "[%H:%M:%S]" text of t; kept per thread and redone only when the second changes.
const SStamp& StampFor(std::time_t t) {
    thread_local SStamp stamp;
    if (!stamp.bValid || stamp.t != t) {
        std::tm local{};
        localtime_r(&t, &local);
        stamp.nLength = std::strftime(stamp.text, sizeof stamp.text, "[%H:%M:%S]", &local);
        stamp.t = t;
        stamp.bValid = true;
    }
    return stamp;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Another process (a second instance in the same working directory) may hold the day's file while
// it writes a batch; waiting for it, up to the bound (5 s by default), keeps both logging instead of
// this one giving up at the first collision. Past the bound the batch counts as not opened.
bool LockBounded(int fd, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(10), deadline - now));
    }
}

// Failure notice states: the worker moves it from fine to failed, the window from failed to told.
enum : int { eLogFine, eLogFailed, eLogTold };

} // namespace

struct CLogWriter::SWorker {
    CLineQueue::SStorage* pLines = nullptr;
    CString strDir;        // base + "/CORVANE_LOGS"
    CString strPathPrefix; // strDir + "/" + prefix
    Clock clock;
    std::chrono::milliseconds lockWait{};
    std::size_t nMaxKeptBytes = 0;
    SEventGroup group;
    CEvent evtLineReady{group, CEvent::eAutoReset};
    CEvent evtStop{group, CEvent::eManualReset};
    CEvent evtEnded{group, CEvent::eManualReset};
    std::atomic<int> nNotice{eLogFine};

    // The worker's own: lines not yet written, oldest first, and how many were given up on.
    CStringArray kept;
    std::size_t nKeptBytes = 0;
    std::size_t nDropped = 0;
    std::string chunk;

    CString FileNameFor(std::time_t t) const {
        std::tm local{};
        localtime_r(&t, &local);
        char name[32];
        std::snprintf(name, sizeof name, "%02d%02d%04d.log", local.tm_mon + 1, local.tm_mday,
                      local.tm_year + 1900);
        return strPathPrefix + name;
    }

    // The day's file, open and locked; -1 when that cannot be done.
    int OpenDayFile(std::time_t t) const {
        const CString strFile = FileNameFor(t);
        int fd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0 && errno == ENOENT && (::mkdir(strDir.c_str(), 0777) == 0 || errno == EEXIST))
            fd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666); // folder had gone
        if (fd < 0)
            return -1;
        if (!LockBounded(fd, lockWait)) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    // Writes records for lines[0..n) in large chunks; returns how many reached the file whole.
    std::size_t WriteRecords(int fd, const CString* lines, std::size_t n) {
        std::size_t nWritten = 0;
        chunk.clear();
        for (std::size_t i = 0; i < n; ++i) {
            chunk += lines[i];
            chunk += kRecordEnd;
            if (chunk.size() >= kChunk || i + 1 == n) {
                if (!WriteAll(fd, chunk.data(), chunk.size()))
                    break;
                nWritten = i + 1;
                chunk.clear();
            }
        }
        if (chunk.capacity() > 4 * kChunk)
            std::string().swap(chunk); // one huge line should not pin its buffer
        return nWritten;
    }

    // Appends to the day's file, in order: a record of lines given up on, the kept lines, the batch.
    // What is not written waits for the next pass.
    void WritePass(CStringArray& batch) {
        if (!kept.empty()) {
            for (const CString& line : batch)
                nKeptBytes += line.size();
            kept.insert(kept.end(), std::make_move_iterator(batch.begin()),
                        std::make_move_iterator(batch.end()));
            batch.clear();
        }
        CStringArray& lines = kept.empty() ? batch : kept;
        const std::time_t t = clock();
        std::size_t nWritten = 0;
        bool bOk = false;
        if (const int fd = OpenDayFile(t); fd >= 0) {
            bOk = true;
            if (nDropped > 0) {
                const SStamp& stamp = StampFor(t);
                char text[96];
                std::snprintf(text, sizeof text, "%sLog lines dropped because they could not be written: %zu",
                              stamp.text, nDropped);
                const CString record(text);
                bOk = WriteRecords(fd, &record, 1) == 1;
                if (bOk)
                    nDropped = 0;
            }
            if (bOk) {
                nWritten = WriteRecords(fd, lines.data(), lines.size());
                bOk = nWritten == lines.size();
            }
            ::close(fd); // releases the lock
        }
        if (bOk) {
            lines.clear();
            nKeptBytes = 0;
            return;
        }
        int fine = eLogFine;
        nNotice.compare_exchange_strong(fine, eLogFailed);
        Keep(lines, nWritten);
    }

    // Keeps lines[nWritten..) for the next pass, the newest within the byte bound.
    void Keep(CStringArray& lines, std::size_t nWritten) {
        if (&lines == &kept) {
            for (std::size_t i = 0; i < nWritten; ++i)
                nKeptBytes -= kept[i].size();
            kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(nWritten));
        } else {
            kept.assign(std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(nWritten)),
                        std::make_move_iterator(lines.end()));
            lines.clear();
            nKeptBytes = 0;
            for (const CString& line : kept)
                nKeptBytes += line.size();
        }
        std::size_t nOld = 0;
        while (nKeptBytes > nMaxKeptBytes)
            nKeptBytes -= kept[nOld++].size();
        if (nOld > 0) {
            kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(nOld));
            nDropped += nOld;
        }
    }
};

CLogWriter*& CurrentLogWriterOverride() {
    static CLogWriter* pWriter = nullptr;
    return pWriter;
}

CLogWriter::CLogWriter(std::string baseDir, Clock clock, std::chrono::milliseconds lockWait,
                       std::size_t keptBytes)
    : m_strPrefix("XML"), m_pWorker(new SWorker), m_evtLineReady(m_pWorker->evtLineReady),
      m_evtStop(m_pWorker->evtStop) {
    m_pWorker->pLines = m_pStorage;
    m_pWorker->strDir = baseDir + "/" + kLogDir;
    m_pWorker->strPathPrefix = m_pWorker->strDir + "/" + m_strPrefix;
    m_pWorker->clock = std::move(clock);
    m_pWorker->lockWait = lockWait;
    m_pWorker->nMaxKeptBytes = keptBytes;
    try {
        m_pThread = std::make_unique<std::thread>(&CLogWriter::LogWriterThreadProc, m_pWorker);
    } catch (...) {
        m_evtStop.Set(); // every Write refuses from now on
    }
}

CLogWriter::~CLogWriter() {
    m_evtStop.Set();
    if (m_pThread) {
        if (m_pWorker->evtEnded.Wait(kShutdownWait)) {
            m_pThread->join();
        } else {
            // The worker is stuck (a hung file system, say). Leave it running with everything it
            // uses: freeing any of that under it would be worse than the leak.
            m_pThread->detach();
            KeepStorage();
            return;
        }
    }
    m_batch.clear();
    delete m_pWorker;
}

void CLogWriter::LogWriterThreadProc(SWorker* pWorker) {
    SWorker& w = *pWorker;
    CStringArray& batch = w.pLines->batch;
    w.chunk.reserve(kChunk + 1024);
    bool bStopping = false;
    while (!bStopping) {
        if (CEvent::WaitForEither(w.evtLineReady, w.evtStop) == 1 || w.evtStop.Wait(kGather))
            bStopping = true;
        // After a stop too, so that every line queued before it is written (or tried once more).
        w.pLines->TakeAll();
        if (!batch.empty() || !w.kept.empty())
            w.WritePass(batch);
        batch.clear();
        if (batch.capacity() > 65536)
            CStringArray().swap(batch); // keep a burst from pinning its storage
    }
    w.evtEnded.Set(); // last touch of the shared state before the thread returns
}

bool CLogWriter::Write(const char* format, ...) {
    if (m_evtStop.IsSet())
        return false;
    const SStamp& stamp = StampFor(m_pWorker->clock());

    // Short messages are formatted on the stack; longer ones straight into the line.
    char buffer[512];
    std::memcpy(buffer, stamp.text, stamp.nLength);
    const std::size_t nRoom = sizeof buffer - stamp.nLength;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(buffer + stamp.nLength, nRoom, format, args);
    va_end(args);
    if (n < 0)
        n = 0; // an encoding error: the stamp alone
    CString line;
    if (static_cast<std::size_t>(n) < nRoom) {
        line.assign(buffer, stamp.nLength + n);
    } else {
        line.resize(stamp.nLength + n);
        std::memcpy(line.data(), stamp.text, stamp.nLength);
        std::vsnprintf(line.data() + stamp.nLength, static_cast<std::size_t>(n) + 1, format, again);
    }
    va_end(again);

    Push(std::move(line));
    m_evtLineReady.Set();
    return true;
}

bool CLogWriter::TakeFailureNotice() {
    int failed = eLogFailed;
    return m_pWorker->nNotice.compare_exchange_strong(failed, eLogTold);
}

CString CLogWriter::FileNameFor(std::time_t t) const {
    return m_pWorker->FileNameFor(t);
}

CLogWriter* GetLogWriter() {
    if (CLogWriter* pOverride = CurrentLogWriterOverride())
        return pOverride;
    // Destroyed with the other statics at normal exit, which writes what is still queued.
    static CLogWriter s_writer;
    return &s_writer;
}
