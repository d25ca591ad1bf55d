// The sample script walked top to bottom on the real simulated components, as a new user would.
#include <QAbstractButton>
#include <map>
#include <regex>

#include "GuiFixture.h"
#include "res/resource.h"

namespace {

class SampleSessionTest : public GuiFixture, public ::testing::WithParamInterface<int> {
protected:
    void RegisterComponents() override { setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1); }
    void TearDown() override {
        GuiFixture::TearDown();
        unsetenv("TRANVEX_COMPONENT_PATH");
    }
};

// The sample notes the status it expects above each block: "Expect: Approved".
std::vector<std::string> ExpectedStatuses(const std::string& script) {
    std::vector<std::string> statuses;
    const std::regex expect("Expect: ([A-Za-z]+)");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), expect); it != std::sregex_iterator(); ++it)
        statuses.push_back((*it)[1]);
    return statuses;
}

TEST_P(SampleSessionTest, EveryBlockGetsTheAnswerItsNoteExpects) {
    const std::string script = ReadWholeFile(TRANVEX_SAMPLE_SCRIPT);
    const std::vector<std::string> expected = ExpectedStatuses(script);
    MakeWindow();
    LoadScript(script);
    ASSERT_TRUE(m_messages.empty()) << m_messages.front();
    ASSERT_EQ(m_dlg->m_arrTransactions.size(), expected.size());

    const int target = GetParam() == 0 ? IDC_TARGET_CLIENT : IDC_TARGET_DEVICE;
    qobject_cast<QAbstractButton*>(m_dlg->GetDlgItem(target))->click();
    // The gift card starts at 100.00 (block 11) and 15.00 of it is spent (block 12).
    const std::map<size_t, std::string> balances = {{11, "100.00"}, {12, "85.00"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        m_dlg->OnRunIt();
        EXPECT_EQ(m_dlg->GetDlgItemText(IDC_RESP_CMDSTATUS), expected[i])
            << "block " << i + 1 << ": " << m_dlg->GetDlgItemText(IDC_RESP_TEXT);
        EXPECT_FALSE(m_dlg->m_strLastResponse.empty());
        if (auto it = balances.find(i + 1); it != balances.end()) {
            EXPECT_EQ(m_dlg->GetDlgItemText(IDC_RESP_BALANCE), it->second) << "block " << i + 1;
        }
        m_dlg->OnLoadNext();
    }
    EXPECT_EQ(m_messages, std::vector<std::string>{"No Next Transaction"});
    const std::string log = FlushedLog();
    EXPECT_NE(log.find("<RStream>"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothComponents, SampleSessionTest, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Client" : "Device"; });

} // namespace
