// Tests of the line queue and the daily log writer, each in a temporary directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include "TestSupport.h"
#include "log/LogWriter.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using tvxtest::ReadFile;

namespace {

// A temporary folder with an empty CORVANE_LOGS.
struct CLogDir : tvxtest::CTempDir {
    explicit CLogDir(EEnter enter = eStayOutside) : CTempDir(enter) { fs::create_directory(Logs()); }
    fs::path Logs() const { return *this / "CORVANE_LOGS"; }
    std::string Base() const { return Path().string(); }
};

std::time_t LocalTime(int day, int hour, int minute, int second) { // January 2014
    std::tm tm{};
    tm.tm_year = 114, tm.tm_mday = day, tm.tm_hour = hour, tm.tm_min = minute, tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::string Record(const std::string& line) {
    return line + "\n----------\n";
}

const std::time_t kMorning = LocalTime(7, 9, 5, 3);

// Stamps come from the test thread; the worker's calls (one per batch) take the next batch time and
// may first run a step of the test, so a test decides which day each batch lands in, can change the
// world between two batches, and can wait until a batch has begun.
struct CTestClock {
    std::atomic<std::time_t> stamp;
    std::vector<std::time_t> batches;
    std::function<void(std::size_t batch)> beforeBatch = [](std::size_t) {};
    const std::thread::id test = std::this_thread::get_id();
    std::mutex lock;
    std::condition_variable cv;
    std::size_t nBatches = 0;

    CTestClock(std::time_t t, std::vector<std::time_t> times) : stamp(t), batches(std::move(times)) {}
    CLogWriter::Clock Get() {
        return [this] {
            if (std::this_thread::get_id() == test)
                return stamp.load();
            std::lock_guard<std::mutex> guard(lock);
            beforeBatch(nBatches);
            cv.notify_all();
            return batches[std::min(nBatches++, batches.size() - 1)];
        };
    }
    void WaitForBatches(std::size_t n) {
        std::unique_lock<std::mutex> guard(lock);
        ASSERT_TRUE(cv.wait_for(guard, 10s, [&] { return nBatches >= n; }));
    }
};

// A file size limit for the whole process (SIGXFSZ ignored, so a write past it fails with EFBIG);
// the earlier limit and handler come back at the end.
class CFileSizeLimit {
public:
    CFileSizeLimit() : m_previousHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
    }
    ~CFileSizeLimit() {
        Restore();
        std::signal(SIGXFSZ, m_previousHandler);
    }
    void Set(rlim_t bytes) {
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    void Restore() { EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &m_saved), 0); }

private:
    void (*m_previousHandler)(int);
    rlimit m_saved{};
};

} // namespace

// Most of the lines are still queued when the writer is destroyed: shutdown writes them all.
TEST(LogWriter, AppendsRecordsInCallOrderWithMessageBytesUnchanged) {
    CLogDir dir;
    const fs::path file = dir.Logs() / "XML01072014.log";
    tvxtest::WriteFile(file, "earlier\n");
    const std::string longText(5000, 'x');
    std::string expected = "earlier\n" + Record("[09:05:03]Startup Tranvex Version 4.10") +
                           Record("[09:05:03]100% done %d %s\r\n") + Record("[09:05:03]" + longText + "|7");
    {
        CLogWriter writer(dir.Base(), [] { return kMorning; });
        EXPECT_TRUE(writer.Write("Startup %s", "Tranvex Version 4.10"));
        EXPECT_TRUE(writer.Write("%s", "100% done %d %s\r\n"));
        EXPECT_TRUE(writer.Write("%s|%d", longText.c_str(), 7));
        for (int i = 0; i < 50000; ++i) {
            writer.Write("line %d", i);
            expected += Record("[09:05:03]line " + std::to_string(i));
        }
    }
    // Only where the texts part: a diff of 50,000 lines would not fit in memory.
    const std::string written = ReadFile(file);
    const std::size_t at =
        std::mismatch(written.begin(), written.end(), expected.begin(), expected.end()).first -
        written.begin();
    EXPECT_EQ(written.substr(at, 100), expected.substr(at, 100)) << "from byte " << at;
}

// Another process's lock is held through a second open file description of the same file.
TEST(LogWriter, WaitsForAnotherHoldersLockUpToItsBound) {
    CLogDir dir;
    const fs::path file = dir.Logs() / "XML01072014.log";
    const int holder = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    {
        CLogWriter writer(
            dir.Base(), [] { return kMorning; }, 10s);
        EXPECT_TRUE(writer.Write("%s", "after the wait"));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(ReadFile(file), ""); // nothing written under the other holder's lock
        ::flock(holder, LOCK_UN);
    }
    EXPECT_EQ(ReadFile(file), Record("[09:05:03]after the wait"));
    ::close(holder);
}

// Writing fails at first (the folder replaced by a file: no open, no mkdir; a device that fails
// every write; a file size limit of 0); the lines are kept, the newest within the bound. From the
// fourth batch writing works again, behind a size limit that cuts the fourth record of that pass in
// one case: the file then holds every kept line once and whole, after a count of the dropped ones.
TEST(LogWriter, UnwrittenLinesWaitForTheNextBatchWithinTheirBound) {
    const std::string dropped = Record("[09:05:03]Log lines dropped because they could not be written: 1");
    CFileSizeLimit limit;
    const std::function<void(const fs::path& logs, std::size_t batch)> cases[] = {
        [](const fs::path& logs, std::size_t batch) {
            if (batch == 0)
                tvxtest::WriteFile(logs, "not a folder");
            if (batch == 3)
                fs::remove(logs);
        },
        [](const fs::path& logs, std::size_t batch) {
            if (batch == 0)
                fs::create_directory(logs), fs::create_symlink("/dev/full", logs / "XML01072014.log");
            if (batch == 3)
                fs::remove(logs / "XML01072014.log");
        },
        [&](const fs::path&, std::size_t batch) {
            if (batch == 0)
                limit.Set(0);
            if (batch == 3)
                limit.Set(dropped.size() + 2 * 24 + 10); // the dropped count, a2, a3, part of a4
            if (batch == 4)
                limit.Restore();
        },
    };
    for (const auto& beforeBatch : cases) {
        tvxtest::CTempDir dir;
        CTestClock clock(kMorning, {kMorning});
        clock.beforeBatch = [&](std::size_t batch) { beforeBatch(dir / "CORVANE_LOGS", batch); };
        {
            const std::size_t kTwoLines = 2 * std::string("[09:05:03]a1").size();
            CLogWriter writer(dir.Path().string(), clock.Get(), CLogWriter::kDefaultLockWait, kTwoLines);
            for (std::size_t i = 1; i <= 5; ++i) {
                writer.Write("a%zu", i);
                clock.WaitForBatches(i);
            }
            EXPECT_TRUE(writer.TakeFailureNotice());
            EXPECT_FALSE(writer.TakeFailureNotice());
        }
        EXPECT_EQ(ReadFile(dir / "CORVANE_LOGS/XML01072014.log"),
                  dropped + Record("[09:05:03]a2") + Record("[09:05:03]a3") + Record("[09:05:03]a4") +
                      Record("[09:05:03]a5"));
    }
}

TEST(LogWriter, FileChangesAtMidnightStampKeepsTheWriteTime) {
    CLogDir dir;
    CTestClock clock(LocalTime(7, 23, 59, 58), {LocalTime(7, 23, 59, 59), LocalTime(8, 0, 0, 1)});
    {
        CLogWriter writer(dir.Base(), clock.Get());
        writer.Write("%s", "today");
        clock.WaitForBatches(1);
        clock.stamp = LocalTime(7, 23, 59, 59);
        writer.Write("%s", "queued before midnight");
    }
    EXPECT_EQ(ReadFile(dir.Logs() / "XML01072014.log"), Record("[23:59:58]today"));
    EXPECT_EQ(ReadFile(dir.Logs() / "XML01082014.log"), Record("[23:59:59]queued before midnight"));
}

// The process's writer logs relative to the working directory, as any other writer of "." does.
TEST(LogWriter, OneWriterPerProcessInTheWorkingDirectory) {
    CLogDir dir(CLogDir::eEnter);
    CLogWriter* writer = GetLogWriter();
    {
        CLogWriter own(dir.Base());
        CLogWriterOverride override(&own);
        EXPECT_EQ(GetLogWriter(), &own);
    }
    EXPECT_EQ(GetLogWriter(), writer);
    EXPECT_EQ(writer->FileNameFor(kMorning), "./CORVANE_LOGS/XML01072014.log");
}
