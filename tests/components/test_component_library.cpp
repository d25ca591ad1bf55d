// Component loading: class identifiers, the search path, faulty libraries and factories behind the
// wrappers, the example component and the simulator libraries behind the C entry point. That each
// simulator object keeps its own state is shown by the runner's record-then-compare run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SimTestSupport.h"
#include "TestSupport.h"
#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"
#include "platform/ComponentLibrary.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExampleClsid = "{0E5A7C11-4B2D-4C3E-9F10-2A3B4C5D6E7F}";
constexpr const char* kNoReleaseClsid = "{1A000000-0000-4000-8000-000000000001}";
constexpr const char* kWrongVersionClsid = "{1A000000-0000-4000-8000-000000000002}";
constexpr const char* kCreateNullClsid = "{1A000000-0000-4000-8000-000000000003}";
constexpr const char* kFailingClsid = "{1A000000-0000-4000-8000-000000000004}";

// A temporary folder of the test's own; each test sets TRANVEX_COMPONENT_PATH to the folders it needs.
class ComponentLoading : public ::testing::Test {
protected:
    tvxtest::CTempDir m_temp;
    const fs::path m_dir = m_temp.Path();
};

// The text of the dispatch error that a SubmitRequest call raises.
std::string CallError(IComponent& component, int dispid) {
    return simtest::DispatchError(
        component, dispid,
        {std::string("<TStream/>"), std::int16_t{0}, std::string(), std::string("TRANVEX")});
}

} // namespace

TEST(ComponentSearchPath, EnvironmentFoldersFirstMadeAbsoluteThenTheProgramFolder) {
    ::setenv("TRANVEX_COMPONENT_PATH", "/opt/a::relative/dir:", 1);
    std::vector<std::string> folders = ComponentSearchPath();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], "/opt/a");
    EXPECT_EQ(folders[1], (fs::current_path() / "relative/dir").string());
    EXPECT_EQ(folders[2], fs::read_symlink("/proc/self/exe").parent_path().string() + "/components");
}

TEST_F(ComponentLoading, ExampleComponentAnswersThroughTheCEntryPoint) {
    ::setenv("TRANVEX_COMPONENT_PATH", TVX_TEST_COMPONENT_DIR, 1);
    std::unique_ptr<IComponent> example = LoadComponentLibrary(kExampleClsid);
    EXPECT_EQ(simtest::Submit(*example, 1, "<TStream/>").Status(), "Approved");
    EXPECT_EQ(CallError(*example, 2), "Member not found.");
    EXPECT_THROW(example->Invoke(1, {std::string("x")}), CDispatchError);
    EXPECT_THROW(example->Invoke(1, {std::int16_t{1}, std::int16_t{0}, std::string(), std::string()}),
                 CDispatchError);
}

// A control whose class is no braced GUID, has no usable library or a factory that throws fails
// every call naming its class and the reason, rather than crashing; so does one never created.
TEST_F(ComponentLoading, FailuresBecomeComponentsThatNameTheClassAndTheReason) {
    // The first folder wins, even when its file is no library.
    std::ofstream(m_dir / (std::string(kExampleClsid) + ".so")) << "not a shared object";
    ::setenv("TRANVEX_COMPONENT_PATH", (m_dir.string() + ":" + TVX_TEST_COMPONENT_DIR).c_str(), 1);
    const char* throwing = "{00000000-0000-0000-0000-00000000DEAD}";
    CComponentRegistration registration(
        throwing, []() -> std::unique_ptr<IComponent> { throw std::runtime_error("library missing"); });
    const char* const notAGuid = "not a braced GUID";
    const std::pair<const char*, const char*> cases[] = {
        {CKVTCLientX::clsid, "no library"},
        {"{0e5a7c11-4b2d-4c3e-9f10-2a3b4c5d6e7f}", "no library"}, // lower case is a GUID too
        {kExampleClsid, "cannot open"},
        {"", notAGuid},
        {"../x", notAGuid},
        {"{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21}/..", notAGuid},
        {"(6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21)", notAGuid},
        {"{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F2G}", notAGuid},
        {"{6B1E0F3A-2C4D-4E8F-9A103B5C7D9E1F21-}", notAGuid},
        {"{../../../../../../../../../tmp/xx}", notAGuid},
        {kNoReleaseClsid, "entry point tvx_release is missing"},
        {kWrongVersionClsid, "interface version 99 is not the expected 1"},
        {kCreateNullClsid, "does not create this class"},
        {kFailingClsid, ""}, // a call that fails without an error text still names the class
        {throwing, "library missing"},
    };
    for (const auto& [clsid, reason] : cases) {
        CKVTCLientX control;
        control.CreateControl(clsid, 1011);
        std::string text = "no error";
        try {
            control.SubmitRequest("<TStream/>", 0, "", "TRANVEX");
        } catch (const CDispatchError& e) {
            text = e.what();
        }
        EXPECT_NE(text.find(clsid), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
    }
    EXPECT_THROW(CKvtHRNX().GetDeviceList(), CDispatchError);
}

// Each simulator library creates only its own class.
TEST_F(ComponentLoading, SimulatorLibrariesCreateOnlyTheirOwnClass) {
    fs::copy_file(fs::path(TVX_SIM_COMPONENT_DIR) / (std::string(CKVTCLientX::clsid) + ".so"),
                  m_dir / (std::string(CKvtHRNX::clsid) + ".so"));
    ::setenv("TRANVEX_COMPONENT_PATH", m_dir.c_str(), 1);
    std::string text = CallError(*LoadComponentLibrary(CKvtHRNX::clsid), 8);
    EXPECT_NE(text.find("does not create this class"), std::string::npos) << text;
}
