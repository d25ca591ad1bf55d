// Shared set-up for window tests: a temporary working directory with a log writer of its own,
// recorded message boxes, fake components under both class identifiers, and a main window that has
// run its initialisation. Nothing outlives a test, so the tests also pass in one process.
#pragma once

#include <QAbstractButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "app/TranvexDlg.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "res/resource.h"

using Texts = std::vector<std::string>;
using tvxtest::ReadFile;

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override;
    // Fakes under both class identifiers; a fixture that wants the real components overrides this.
    virtual void RegisterComponents();

    // Makes the main window (components are created with it) and runs its initialisation.
    void MakeWindow() {
        m_dlg = std::make_unique<CTranvexDlg>();
        m_dlg->OnInitDialog();
    }
    void WriteFile(const std::string& name, const std::string& text) {
        tvxtest::WriteFile(m_dir / name, text);
    }
    // Loads a script through Re-Load FIle with the path set on the member.
    void LoadScript(const std::string& text) {
        WriteFile("TStream.xml", text);
        m_dlg->m_strXmlPath = (m_dir / "TStream.xml").string();
        m_dlg->OnReloadFile();
    }
    // Presses a button of the main window; Box reads one of its boxes.
    void Click(int id) { qobject_cast<QAbstractButton*>(m_dlg->GetDlgItem(id))->click(); }
    std::string Box(int id) { return m_dlg->GetDlgItemText(id); }
    // The message boxes shown since the last call.
    Texts TakeMessages() { return std::exchange(m_messages, {}); }
    // TRANVEX_EDITOR names a stub that writes its arguments to "args", one a line, waits until the
    // test makes "release", then runs then (shell, "$a" is the last argument).
    void UseStubEditor(const std::string& then = "");

    // Waits (bounded) until the day's log holds needle, then returns the whole log.
    std::string LogContaining(const std::string& needle);
    // Everything logged so far, without time stamps and start-up lines: a marker line is written
    // and awaited, so earlier lines are all there.
    Texts LogEntries();

    // Members go in reverse order: the window before the fakes, the writer's last lines before the folder.
    std::unique_ptr<tvxtest::CTempDir> m_temp; // the working directory while the test runs
    std::filesystem::path m_dir;
    Texts m_messages; // shown on this thread only
    const std::thread::id m_uiThread = std::this_thread::get_id();
    std::unique_ptr<CLogWriter> m_writer; // logs into m_dir until the test ends
    std::unique_ptr<CLogWriterOverride> m_writerOverride;
    std::unique_ptr<CMessageBoxHookGuard> m_boxHook;
    std::shared_ptr<tvxtest::SFakeState> m_client = std::make_shared<tvxtest::SFakeState>();
    std::shared_ptr<tvxtest::SFakeState> m_device = std::make_shared<tvxtest::SFakeState>();
    std::unique_ptr<CComponentRegistration> m_clientReg, m_deviceReg;
    std::unique_ptr<CTranvexDlg> m_dlg;
};

// The same with the main window made before each test.
class WindowTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        MakeWindow();
    }
};
