// Tests of the events, the line queue and the daily log writer, each in a temporary directory.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/file.h>
#include <unistd.h>

#include "log/LogWriter.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A fresh directory with an empty CORVANE_LOGS unless told otherwise; removed with everything in it.
struct CTempDir {
    fs::path path;
    explicit CTempDir(bool bLogs = true) {
        std::string pattern = (fs::temp_directory_path() / "tranvex-log-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
        if (bLogs)
            fs::create_directory(Logs());
    }
    ~CTempDir() { fs::remove_all(path); }
    std::string Logs() const { return (path / "CORVANE_LOGS").string(); }
};

std::string ReadFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

} // namespace

TEST(LogWriter, AppendsRecordsInCallOrderWithMessageBytesUnchanged) {
    CTempDir dir;
    const std::string file = dir.Logs() + "/XML01072014.log";
    std::ofstream(file) << "earlier\n";
    const std::string longText(5000, 'x');
    {
        CLogWriter writer(dir.path.string(), [] { return kMorning; });
        EXPECT_TRUE(writer.Write("Startup %s", "Tranvex Version 4.10"));
        EXPECT_TRUE(writer.Write("%s", "100% done %d %s\r\n"));
        EXPECT_TRUE(writer.Write("%s|%d", longText.c_str(), 7));
    }
    EXPECT_EQ(ReadFile(file), "earlier\n" + Record("[09:05:03]Startup Tranvex Version 4.10") +
                                  Record("[09:05:03]100% done %d %s\r\n") +
                                  Record("[09:05:03]" + longText + "|7"));
}

// Another process's lock is held through a second open file description of the same file.
TEST(LogWriter, WaitsForAnotherHoldersLockUpToItsBound) {
    CTempDir dir;
    const std::string file = dir.Logs() + "/XML01072014.log";
    const int holder = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    {
        CLogWriter writer(
            dir.path.string(), [] { return kMorning; }, 10s);
        EXPECT_TRUE(writer.Write("%s", "after the wait"));
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(ReadFile(file), ""); // nothing written under the other holder's lock
        ::flock(holder, LOCK_UN);
    }
    EXPECT_EQ(ReadFile(file), Record("[09:05:03]after the wait"));
    ::close(holder);
}

// The folder replaced by a file (no open, no mkdir) and a device that fails every write: lines are
// kept, the newest within the bound, and written with a count of the dropped ones once the obstacle
// has gone (the folder is made again); the operator is to be told once.
TEST(LogWriter, UnwrittenLinesWaitForTheNextBatchWithinTheirBound) {
    for (const char* obstacle : {"CORVANE_LOGS", "CORVANE_LOGS/XML01072014.log"}) {
        CTempDir dir(false);
        const fs::path blocked = dir.path / obstacle;
        if (blocked.parent_path() != dir.path) {
            fs::create_directory(blocked.parent_path());
            fs::create_symlink("/dev/full", blocked);
        } else {
            std::ofstream(blocked) << "not a folder";
        }
        CTestClock clock(kMorning, {kMorning});
        clock.beforeBatch = [&](std::size_t batch) {
            if (batch == 3)
                fs::remove(blocked);
        };
        {
            const std::size_t kTwoLines = 2 * std::string("[09:05:03]a1").size();
            CLogWriter writer(dir.path.string(), clock.Get(), CLogWriter::kDefaultLockWait, kTwoLines);
            std::size_t nBatch = 0;
            for (const char* line : {"a1", "a2", "a3"}) {
                writer.Write("%s", line);
                clock.WaitForBatches(++nBatch);
            }
            EXPECT_TRUE(writer.TakeFailureNotice()) << obstacle;
            EXPECT_FALSE(writer.TakeFailureNotice()) << obstacle;
            writer.Write("%s", "a4");
        }
        EXPECT_EQ(ReadFile(dir.Logs() + "/XML01072014.log"),
                  Record("[09:05:03]Log lines dropped because they could not be written: 1") +
                      Record("[09:05:03]a2") + Record("[09:05:03]a3") + Record("[09:05:03]a4"))
            << obstacle;
    }
}

TEST(LogWriter, ShutdownWritesEveryQueuedLine) {
    CTempDir dir;
    const int kLines = 50000;
    std::string expected;
    {
        CLogWriter writer(dir.path.string(), [] { return kMorning; });
        for (int i = 0; i < kLines; ++i) {
            writer.Write("line %d", i);
            expected += Record("[09:05:03]line " + std::to_string(i));
        }
    }
    EXPECT_EQ(ReadFile(dir.Logs() + "/XML01072014.log"), expected);
}

TEST(LogWriter, FileChangesAtMidnightStampKeepsTheWriteTime) {
    CTempDir dir;
    CTestClock clock(LocalTime(7, 23, 59, 58), {LocalTime(7, 23, 59, 59), LocalTime(8, 0, 0, 1)});
    {
        CLogWriter writer(dir.path.string(), clock.Get());
        writer.Write("%s", "today");
        clock.WaitForBatches(1);
        clock.stamp = LocalTime(7, 23, 59, 59);
        writer.Write("%s", "queued before midnight");
    }
    EXPECT_EQ(ReadFile(dir.Logs() + "/XML01072014.log"), Record("[23:59:58]today"));
    EXPECT_EQ(ReadFile(dir.Logs() + "/XML01082014.log"), Record("[23:59:59]queued before midnight"));
}

TEST(LogWriter, OneWriterPerProcessInTheWorkingDirectory) {
    CTempDir dir;
    struct CChangeDir {
        const fs::path previous = fs::current_path();
        explicit CChangeDir(const fs::path& to) { fs::current_path(to); }
        ~CChangeDir() { fs::current_path(previous); }
    } inDir(dir.path);
    CLogWriter* writer = GetLogWriter();
    {
        CLogWriter own(dir.path.string());
        CLogWriterOverride override(&own);
        EXPECT_EQ(GetLogWriter(), &own);
    }
    EXPECT_EQ(GetLogWriter(), writer);

    // Written relative to the working directory; wait for it before leaving the directory.
    EXPECT_EQ(writer->FileNameFor(kMorning), "./CORVANE_LOGS/XML01072014.log");
    ASSERT_TRUE(writer->Write("%s", "hello"));
    auto logged = [&] {
        for (const auto& entry : fs::directory_iterator(dir.Logs()))
            if (ReadFile(entry.path().string()).find("]hello\n----------\n") != std::string::npos)
                return true;
        return false;
    };
    for (int i = 0; i < 1000 && !logged(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(logged());
}
