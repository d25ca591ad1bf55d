// The operator hears about the log once, and only once back in the main window.
#include <QCoreApplication>
#include <QDialog>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "GuiFixture.h"

namespace {

class LogNoticeTest : public GuiFixture {
protected:
    // Logs into base, counting the batches the worker begins (it asks the clock once per batch).
    // The count is shared with the clock, which the worker still calls while the fixture goes.
    void LogInto(const std::string& base) {
        m_writerOverride.reset();
        m_writer = std::make_unique<CLogWriter>(base, [batches = m_batches, ui = m_uiThread] {
            if (std::this_thread::get_id() != ui) {
                std::lock_guard<std::mutex> guard(batches->lock);
                ++batches->n;
                batches->cv.notify_all();
            }
            return std::time(nullptr);
        });
        m_writerOverride = std::make_unique<CLogWriterOverride>(m_writer.get());
    }
    // Returns once the window's start-up line has failed: a second batch has begun after it.
    void WaitForTheStartupLineToFail() {
        SBatches& b = *m_batches;
        std::unique_lock<std::mutex> guard(b.lock);
        ASSERT_TRUE(b.cv.wait_for(guard, std::chrono::seconds(10), [&] { return b.n >= 1; }));
        m_writer->Write("%s", "after the start-up line");
        ASSERT_TRUE(b.cv.wait_for(guard, std::chrono::seconds(10), [&] { return b.n >= 2; }));
    }

    struct SBatches {
        std::mutex lock;
        std::condition_variable cv;
        int n = 0;
    };
    std::shared_ptr<SBatches> m_batches = std::make_shared<SBatches>();
};

// The log folder cannot be made (the working directory has been removed): that message is the
// notice, and the writer's failure to write the start-up line adds no second, contradicting one.
TEST_F(LogNoticeTest, FolderThatCannotBeMadeIsTheOnlyNotice) {
    std::filesystem::create_directory(m_dir / "gone");
    std::filesystem::current_path(m_dir / "gone");
    std::filesystem::remove(m_dir / "gone");
    LogInto(".");
    MakeWindow();
    WaitForTheStartupLineToFail();
    m_dlg->OnCheckLog();
    EXPECT_EQ(m_messages, Texts{"Unable to create Log Directory - logging disabled!"});
}

// The folder is a file: the notice waits while another modal window is up and while the editor
// runs, and the window's own timer shows it once the operator is back, once.
TEST_F(LogNoticeTest, WaitsUntilTheOperatorIsBackInTheMainWindow) {
    WriteFile("CORVANE_LOGS", "not a folder");
    LogInto(m_dir.string());
    MakeWindow();
    WaitForTheStartupLineToFail();

    QDialog other;
    other.setWindowModality(Qt::ApplicationModal);
    other.show();
    m_dlg->OnCheckLog();
    other.hide();
    EXPECT_TRUE(m_messages.empty());

    UseStubEditor();
    m_dlg->m_strXmlPath = "TStream.xml";
    QTimer::singleShot(0, m_dlg.get(), [&] {
        m_dlg->OnCheckLog();
        WriteFile("release", "");
    });
    Click(IDC_OPEN_IN_EDITOR);
    EXPECT_TRUE(m_messages.empty());

    for (int i = 0; i < 1000 && m_messages.empty(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_dlg->OnCheckLog();
    EXPECT_EQ(m_messages,
              Texts{"Unable to write to the log in CORVANE_LOGS - unwritten lines are kept (up to "
                    "16 MB) and written when it works again."});
}

} // namespace
