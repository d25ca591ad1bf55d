// The window and tranvex-run walk the sample script on one recording component each way: the runner sends
// the window's requests byte for byte and logs the same entries, also after a block that does not parse.
#include "GuiFixture.h"
#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"
#include "platform/ComponentLibrary.h"
#include "runner/RunnerMain.h"

namespace {

// The target, and "Broken" for a block that does not parse after the first sale, whose tokens it
// then clears.
class RunnerParityTest : public GuiFixture, public ::testing::WithParamInterface<std::string> {
protected:
    void RegisterComponents() override {
        setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1);
        // The simulated components, with every request they are sent written down.
        for (const char* clsid : {CKVTCLientX::clsid, CKvtHRNX::clsid})
            m_registrations.push_back(std::make_unique<CComponentRegistration>(clsid, [this, clsid] {
                auto state = std::make_shared<tvxtest::SFakeState>();
                state->answer = [this, inner = std::shared_ptr<IComponent>(LoadComponentLibrary(clsid))](
                                    int dispid, const DispArgs& args) {
                    m_pSink->push_back(std::get<std::string>(args.at(0)));
                    return inner->Invoke(dispid, args);
                };
                return std::make_unique<tvxtest::CFakeComponent>(state);
            }));
    }
    std::vector<std::unique_ptr<CComponentRegistration>> m_registrations;
    std::vector<std::string>* m_pSink = nullptr;
};

TEST_P(RunnerParityTest, TheSampleSendsTheWindowsRequestsAndLogsItsEntries) {
    const std::string target = GetParam().substr(0, 6);
    const bool bBroken = GetParam().size() > 6;
    std::string script = ReadFile(TRANVEX_SAMPLE_SCRIPT);
    if (bBroken)
        script.insert(script.find("<!-- 3."), "\t<Transaction>\n\t\t<RefNo>1</Ref>\n\t</Transaction>\n");
    std::vector<std::string> window, runner;

    m_pSink = &window;
    MakeWindow();
    LoadScript(script);
    Click(target == "client" ? IDC_TARGET_CLIENT : IDC_TARGET_DEVICE);
    for (std::size_t i = 0; i < m_dlg->m_arrTransactions.size(); ++i)
        m_dlg->OnRunItAndLoadNext();
    const std::vector<std::string> windowLog = LogEntries();

    m_pSink = &runner;
    std::FILE* out = std::tmpfile();
    ASSERT_EQ(RunTranvexRun({"--target", target, (m_dir / "TStream.xml").string()}, out, out, false),
              bBroken ? kExitFailed : kExitPassed);
    std::fclose(out);
    std::vector<std::string> runnerLog = LogEntries();
    runnerLog.erase(runnerLog.begin(), runnerLog.begin() + static_cast<std::ptrdiff_t>(windowLog.size()));

    ASSERT_EQ(window.size(), bBroken ? 16u : 15u);
    EXPECT_EQ(runner, window);
    EXPECT_EQ(windowLog.size(), 2 * window.size());
    EXPECT_EQ(runnerLog, windowLog);
}

INSTANTIATE_TEST_SUITE_P(BothComponents, RunnerParityTest,
                         ::testing::Values("client", "device", "clientBroken"),
                         [](const auto& info) { return info.param; });

} // namespace
