// Shared set-up for window tests.
#include "GuiFixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void GuiFixture::SetUp() {
    m_savedDir = std::filesystem::current_path();
    char pattern[] = "/tmp/tranvex-gui-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    std::filesystem::current_path(m_dir);
    m_writer = std::make_unique<CLogWriter>(m_dir.string());
    m_writerOverride = std::make_unique<CLogWriterOverride>(m_writer.get());
    m_boxHook = std::make_unique<CMessageBoxHookGuard>([this](const CString& text, UINT) {
        EXPECT_EQ(std::this_thread::get_id(), m_uiThread) << text;
        m_messages.push_back(text);
        return IDOK;
    });
    RegisterComponents();
}

void GuiFixture::RegisterComponents() {
    m_clientReg = std::make_unique<CComponentRegistration>(
        CKVTCLientX::clsid, [state = m_client] { return std::make_unique<FakeComponent>(state); });
    m_deviceReg = std::make_unique<CComponentRegistration>(
        CKvtHRNX::clsid, [state = m_device] { return std::make_unique<FakeComponent>(state); });
}

void GuiFixture::TearDown() {
    m_dlg.reset();
    m_clientReg.reset();
    m_deviceReg.reset();
    m_boxHook.reset();
    // The writer finishes its lines before the folder goes.
    m_writerOverride.reset();
    m_writer.reset();
    std::filesystem::current_path(m_savedDir);
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void GuiFixture::MakeWindow() {
    m_dlg = std::make_unique<CTranvexDlg>();
    m_dlg->OnInitDialog();
}

void GuiFixture::WriteFile(const std::string& name, const std::string& text) {
    std::ofstream out(m_dir / name, std::ios::binary);
    out << text;
}

void GuiFixture::LoadScript(const std::string& text) {
    WriteFile("TStream.xml", text);
    m_dlg->m_strXmlPath = (m_dir / "TStream.xml").string();
    m_dlg->OnReloadFile();
}

void GuiFixture::Click(int id) {
    qobject_cast<QAbstractButton*>(m_dlg->GetDlgItem(id))->click();
}

std::string GuiFixture::LogContaining(const std::string& needle) {
    std::filesystem::path logDir = m_dir / "CORVANE_LOGS";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(logDir, ec)) {
            std::string text = ReadWholeFile(entry.path());
            if (text.find(needle) != std::string::npos)
                return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "log never held: " << needle;
    return {};
}

std::string GuiFixture::FlushedLog() {
    static int counter = 0;
    const std::string marker = "test marker " + std::to_string(++counter);
    m_writer->Write("%s", marker.c_str());
    std::string log = LogContaining(marker);
    return log.substr(0, log.find(marker));
}

std::vector<std::string> GuiFixture::LogEntries() {
    const std::string log = FlushedLog();
    std::vector<std::string> entries;
    const std::string separator = "\n----------\n";
    for (std::size_t at = 0, end; (end = log.find(separator, at)) != std::string::npos;
         at = end + separator.size()) {
        const std::string entry = log.substr(at + 10, end - at - 10); // after "[HH:MM:SS]"
        if (entry.rfind("Startup", 0) != 0 && entry.rfind("test marker", 0) != 0)
            entries.push_back(entry);
    }
    return entries;
}
