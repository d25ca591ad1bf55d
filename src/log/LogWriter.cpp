// The daily log writer: events, the line queue, the worker that appends batches, GetLogWriter.
#include "log/LogWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// ---- events ----

void CEvent::Set() {
    bool bWake;
    {
        std::lock_guard<std::mutex> lock(m_group.m_lock);
        m_bSignalled.store(true, std::memory_order_release);
        bWake = m_nWaiters > 0;
    }
    // After unlocking, so the woken thread does not block at once on the lock we hold.
    if (bWake)
        m_group.m_cvChanged.notify_all();
}

bool CEvent::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_group.m_lock);
    ++m_nWaiters;
    const bool bSet = m_group.m_cvChanged.wait_for(lock, timeout, [this] { return IsSet(); });
    --m_nWaiters;
    if (bSet && m_bAutoReset)
        m_bSignalled.store(false, std::memory_order_relaxed);
    return bSet;
}

int CEvent::WaitForEither(CEvent& first, CEvent& second) {
    CEventGroup& group = first.m_group;
    std::unique_lock<std::mutex> lock(group.m_lock);
    ++first.m_nWaiters, ++second.m_nWaiters;
    group.m_cvChanged.wait(lock, [&] { return first.IsSet() || second.IsSet(); });
    --first.m_nWaiters, --second.m_nWaiters;
    CEvent& hit = first.IsSet() ? first : second;
    if (hit.m_bAutoReset)
        hit.m_bSignalled.store(false, std::memory_order_relaxed);
    return &hit == &first ? 0 : 1;
}

// ---- line queue ----

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

void CLineQueue::SStorage::TakeAll() {
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

} // namespace

struct CLogWriter::SWorker {
    CLineQueue::SStorage* pLines = nullptr;
    CString strPathPrefix; // base + "/CORVANE_LOGS/" + prefix
    Clock clock;
    std::chrono::milliseconds lockWait{};
    CEventGroup group;
    CEvent evtLineReady{group, CEvent::eAutoReset};
    CEvent evtStop{group, CEvent::eManualReset};
    CEvent evtEnded{group, CEvent::eManualReset};
    std::atomic<int> nExitCode{kStillRunning};

    CString FileNameFor(std::time_t t) const {
        std::tm local{};
        localtime_r(&t, &local);
        char name[32];
        std::snprintf(name, sizeof name, "%02d%02d%04d.log", local.tm_mon + 1, local.tm_mday,
                      local.tm_year + 1900);
        return strPathPrefix + name;
    }

    // Appends the batch to the day's file; false only when the file could not be opened or locked.
    bool WriteBatch(const CStringArray& batch, std::string& chunk) {
        const CString strFile = FileNameFor(clock());
        const int fd = ::open(strFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0)
            return false;
        if (!LockBounded(fd, lockWait)) {
            ::close(fd);
            return false;
        }
        // A failed write drops the rest of this batch only; the next batch tries again.
        bool bOk = true;
        chunk.clear();
        for (const CString& line : batch) {
            chunk += line;
            chunk += kRecordEnd;
            if (chunk.size() >= kChunk) {
                bOk = WriteAll(fd, chunk.data(), chunk.size());
                chunk.clear();
                if (!bOk)
                    break;
            }
        }
        if (bOk && !chunk.empty())
            WriteAll(fd, chunk.data(), chunk.size());
        if (chunk.capacity() > 4 * kChunk)
            std::string().swap(chunk); // one huge line should not pin its buffer
        ::close(fd);                   // releases the lock
        return true;
    }
};

CLogWriter::CLogWriter(std::string baseDir, Clock clock, std::chrono::milliseconds lockWait)
    : m_strPrefix("XML"), m_pWorker(new SWorker), m_evtLineReady(m_pWorker->evtLineReady),
      m_evtStop(m_pWorker->evtStop) {
    m_pWorker->pLines = m_pStorage;
    m_pWorker->strPathPrefix = baseDir + "/" + kLogDir + "/" + m_strPrefix;
    m_pWorker->clock = std::move(clock);
    m_pWorker->lockWait = lockWait;
    try {
        m_pThread = std::make_unique<std::thread>(&CLogWriter::LogWriterThreadProc, m_pWorker);
    } catch (...) {
        m_evtStop.Set(); // every Write refuses from now on
    }
}

CLogWriter::~CLogWriter() {
    m_evtStop.Set();
    if (m_pThread) {
        if (WaitForWorker(kShutdownWait)) {
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
    std::string chunk;
    chunk.reserve(kChunk + 1024);
    int nExit = 0;
    bool bStopping = false;
    while (!bStopping) {
        if (CEvent::WaitForEither(w.evtLineReady, w.evtStop) == 1 || w.evtStop.Wait(kGather))
            bStopping = true;
        // After a stop too, so that every line queued before it is written.
        w.pLines->TakeAll();
        if (!batch.empty() && !w.WriteBatch(batch, chunk)) {
            batch.clear(); // dropped unwritten
            nExit = kOpenFailed;
            w.evtStop.Set();
            break;
        }
        batch.clear();
        if (batch.capacity() > 65536)
            CStringArray().swap(batch); // keep a burst from pinning its storage
    }
    w.nExitCode.store(nExit);
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

int CLogWriter::ExitCode() const {
    return m_pWorker->nExitCode.load();
}

bool CLogWriter::WaitForWorker(std::chrono::milliseconds timeout) {
    return !m_pThread || m_pWorker->evtEnded.Wait(timeout);
}

CString CLogWriter::FileNameFor(std::time_t t) const {
    return m_pWorker->FileNameFor(t);
}

CLogWriter* GetLogWriter() {
    // Destroyed with the other statics at normal exit, which writes what is still queued.
    static CLogWriter s_writer;
    return &s_writer;
}
