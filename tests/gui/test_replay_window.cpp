// The window records its calls in a cassette and replays them: the same answers in the same boxes,
// and tranvex-run passes on the window's cassette.
#include <cstdlib>

#include "GuiFixture.h"
#include "controls/PaymentTargets.h"
#include "runner/RunnerMain.h"

namespace {

class ReplayWindowTest : public GuiFixture, public ::testing::WithParamInterface<ETarget> {
protected:
    // The simulated components from the build's components folder, through the usual search.
    void RegisterComponents() override { setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1); }
    void TearDown() override {
        for (const char* name : {"TRANVEX_RECORD", "TRANVEX_REPLAY", "TRANVEX_CLIENT_COMPONENT",
                                 "TRANVEX_DEVICE_COMPONENT"})
            unsetenv(name);
        GuiFixture::TearDown();
    }

    // Every block of the sample through Run It and Load Next; each answer and its TextResponse box.
    Texts RunSample() {
        MakeWindow();
        LoadScript(ReadFile(TRANVEX_SAMPLE_SCRIPT));
        Click(TargetInfo(GetParam()).nRadioButton);
        Texts seen;
        for (std::size_t i = 0; i < m_dlg->m_arrTransactions.size(); ++i) {
            m_dlg->OnRunItAndLoadNext();
            seen.push_back(m_dlg->m_strLastResponse);
            seen.push_back(Box(IDC_RESP_TEXT));
        }
        m_dlg.reset(); // the cassette is closed with the window's controls
        return seen;
    }
};

TEST_P(ReplayWindowTest, ReplayingTheWindowsCassetteShowsTheSameAnswers) {
    const STargetInfo& target = TargetInfo(GetParam());
    const std::string tape = (m_dir / "window.tape").string();
    setenv("TRANVEX_RECORD", tape.c_str(), 1);
    const Texts live = RunSample();
    ASSERT_EQ(live.size(), 30u);
    EXPECT_EQ(TakeMessages(), Texts{"No Next Transaction"}); // Load Next after the last block
    const std::string recorded = ReadFile(tape);

    unsetenv("TRANVEX_RECORD");
    setenv((std::string("TRANVEX_") + (GetParam() == ETarget::Client ? "CLIENT" : "DEVICE") + "_COMPONENT").c_str(),
           "replay", 1);
    setenv("TRANVEX_REPLAY", tape.c_str(), 1);
    EXPECT_EQ(RunSample(), live);
    EXPECT_EQ(TakeMessages(), Texts{"No Next Transaction"}); // Load Next after the last block
    EXPECT_EQ(ReadFile(tape), recorded); // replay only reads

    // The runner sends the window's requests, so it passes on the window's cassette too.
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(RunTranvexRun({"--no-log", "--target", target.pszName, (m_dir / "TStream.xml").string()}, out, out,
                            false),
              kExitPassed);
    std::fclose(out);
}

INSTANTIATE_TEST_SUITE_P(BothControls, ReplayWindowTest, ::testing::Values(ETarget::Client, ETarget::Device),
                         [](const auto& info) { return std::string(TargetInfo(info.param).pszName); });

// A cassette that cannot serve, or cannot be written, is told at start, and each call says so.
TEST_F(GuiFixture, ACassetteThatCannotBeUsedIsToldAtStart) {
    setenv("TRANVEX_CLIENT_COMPONENT", "replay", 1);
    setenv("TRANVEX_REPLAY", (m_dir / "missing.tape").c_str(), 1);
    MakeWindow();
    const Texts messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("Cannot read the cassette"), std::string::npos) << messages[0];
    m_dlg.reset();
    unsetenv("TRANVEX_CLIENT_COMPONENT");
    unsetenv("TRANVEX_REPLAY");
    setenv("TRANVEX_RECORD", (m_dir / "no/such/folder/c.tape").c_str(), 1);
    MakeWindow();
    EXPECT_EQ(TakeMessages().size(), 2u); // one a control: neither would be recorded
    EXPECT_THROW(m_dlg->Control(ETarget::Client)->SubmitRequest("<TStream/>", 0, "", ""), CDispatchError);
    unsetenv("TRANVEX_RECORD");
}

} // namespace
