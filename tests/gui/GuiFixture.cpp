// Shared set-up for window tests.
#include "GuiFixture.h"

#include <chrono>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"

void GuiFixture::SetUp() {
    unsetenv("TRANVEX_EDITOR"); // a stub of an earlier test
    m_temp = std::make_unique<tvxtest::CTempDir>(tvxtest::CTempDir::eEnter);
    m_dir = m_temp->Path();
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
    m_clientReg = tvxtest::RegisterFake(CKVTCLientX::clsid, m_client);
    m_deviceReg = tvxtest::RegisterFake(CKvtHRNX::clsid, m_device);
}

void GuiFixture::UseStubEditor(const std::string& then) {
    WriteFile("editor",
              "#!/bin/sh\ndir=$(dirname \"$0\")\nfor a; do printf '%s\\n' \"$a\"; done > \"$dir/args\"\n"
              "n=0; while [ ! -e \"$dir/release\" ] && [ $n -lt 3000 ]; do sleep 0.01; n=$((n+1)); done\n" +
                  then + "\n");
    chmod((m_dir / "editor").c_str(), 0755);
    setenv("TRANVEX_EDITOR", (m_dir / "editor").c_str(), 1);
}

std::string GuiFixture::LogContaining(const std::string& needle) {
    for (int attempt = 0; attempt < 1000;
         std::this_thread::sleep_for(std::chrono::milliseconds(10)), ++attempt) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir / "CORVANE_LOGS", ec))
            if (std::string text = ReadFile(entry.path()); text.find(needle) != std::string::npos)
                return text;
    }
    ADD_FAILURE() << "log never held: " << needle;
    return {};
}

Texts GuiFixture::LogEntries() {
    static int counter = 0;
    const std::string marker = "test marker " + std::to_string(++counter);
    m_writer->Write("%s", marker.c_str());
    std::string log = LogContaining(marker);
    log = log.substr(0, log.find(marker));
    Texts entries;
    const std::string separator = "\n----------\n";
    for (std::size_t at = 0, end; (end = log.find(separator, at)) != std::string::npos;
         at = end + separator.size()) {
        const std::string entry = log.substr(at + 10, end - at - 10); // after "[HH:MM:SS]"
        if (entry.rfind("Startup", 0) != 0 && entry.rfind("test marker", 0) != 0)
            entries.push_back(entry);
    }
    return entries;
}
