// Component loading: class identifiers, the search path, faulty libraries, the example component
// and the simulator libraries behind the C entry point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SimTestSupport.h"
#include "controls/ClassIds.h"
#include "platform/ComponentLibrary.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kExampleClsid = "{0E5A7C11-4B2D-4C3E-9F10-2A3B4C5D6E7F}";
constexpr const char* kNoReleaseClsid = "{1A000000-0000-4000-8000-000000000001}";
constexpr const char* kWrongVersionClsid = "{1A000000-0000-4000-8000-000000000002}";
constexpr const char* kCreateNullClsid = "{1A000000-0000-4000-8000-000000000003}";
constexpr const char* kFailingClsid = "{1A000000-0000-4000-8000-000000000004}";

// Sets TRANVEX_COMPONENT_PATH for one test and restores it afterwards.
class CPathGuard {
public:
    explicit CPathGuard(const std::string& value) {
        if (const char* old = std::getenv("TRANVEX_COMPONENT_PATH"))
            m_old = old;
        ::setenv("TRANVEX_COMPONENT_PATH", value.c_str(), 1);
    }
    ~CPathGuard() {
        if (m_old)
            ::setenv("TRANVEX_COMPONENT_PATH", m_old->c_str(), 1);
        else
            ::unsetenv("TRANVEX_COMPONENT_PATH");
    }

private:
    std::optional<std::string> m_old;
};

class CTempDir {
public:
    CTempDir() {
        std::string pattern = (fs::temp_directory_path() / "tvx-components-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~CTempDir() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The text of the dispatch error that a call raises, or "" when it succeeds.
std::string CallError(IComponent& component, int dispid = 1) {
    try {
        component.Invoke(dispid,
                         {std::string("<TStream/>"), std::int16_t{0}, std::string(), std::string("TRANVEX")});
    } catch (const CDispatchError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(ClassIdentifier, OnlyABracedGuidPasses) {
    EXPECT_TRUE(IsClassIdentifier(kClientClsid));
    EXPECT_TRUE(IsClassIdentifier(kDeviceClsid));
    EXPECT_TRUE(IsClassIdentifier("{0e5a7c11-4b2d-4c3e-9f10-2a3b4c5d6e7f}"));
    for (const char* bad : {"", "../x", "{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21}/..",
                            "6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21", "{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F2G}",
                            "{6B1E0F3A-2C4D-4E8F-9A103B5C7D9E1F21-}", "{../../../../../../../../../tmp/xx}"})
        EXPECT_FALSE(IsClassIdentifier(bad)) << bad;
}

TEST(ComponentSearchPath, EnvironmentFoldersFirstMadeAbsoluteThenTheProgramFolder) {
    CPathGuard path("/opt/a::relative/dir:");
    std::vector<std::string> folders = ComponentSearchPath();
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], "/opt/a");
    EXPECT_EQ(folders[1], (fs::current_path() / "relative/dir").string());
    EXPECT_EQ(folders[2], fs::read_symlink("/proc/self/exe").parent_path().string() + "/components");
}

TEST(ComponentLoading, ExampleComponentAnswersThroughTheCEntryPoint) {
    CPathGuard path(TVX_TEST_COMPONENT_DIR);
    std::unique_ptr<IComponent> example = LoadComponentLibrary(kExampleClsid);
    std::string answer = example->Invoke(
        1, {std::string("<TStream/>"), std::int16_t{0}, std::string(), std::string("TRANVEX")});
    simtest::Response r(answer);
    EXPECT_TRUE(r.WellFormed());
    EXPECT_EQ(r.Status(), "Approved");
    EXPECT_EQ(CallError(*example, 2), "Member not found.");
    EXPECT_THROW(example->Invoke(1, {std::string("x")}), CDispatchError);
    EXPECT_THROW(example->Invoke(1, {std::int16_t{1}, std::int16_t{0}, std::string(), std::string()}),
                 CDispatchError);
}

TEST(ComponentLoading, FailuresBecomeComponentsThatNameTheClassAndTheReason) {
    CTempDir empty;
    ASSERT_FALSE(empty.Path().empty());
    {
        CPathGuard path(empty.Path());
        std::string text = CallError(*LoadComponentLibrary(kClientClsid));
        EXPECT_NE(text.find(kClientClsid), std::string::npos) << text;
        EXPECT_NE(text.find("no library"), std::string::npos) << text;
    }
    {
        // The first folder wins, even when its file is no library.
        std::ofstream(empty.Path() + "/" + kExampleClsid + ".so") << "not a shared object";
        CPathGuard path(empty.Path() + ":" + TVX_TEST_COMPONENT_DIR);
        std::string text = CallError(*LoadComponentLibrary(kExampleClsid));
        EXPECT_NE(text.find(kExampleClsid), std::string::npos) << text;
        EXPECT_NE(text.find("cannot open"), std::string::npos) << text;
    }
    for (const char* bad : {"../x", "{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21}/.."}) {
        std::string text = CallError(*LoadComponentLibrary(bad));
        EXPECT_NE(text.find(bad), std::string::npos) << text;
        EXPECT_NE(text.find("not a braced GUID"), std::string::npos) << text;
    }

    CPathGuard path(TVX_TEST_COMPONENT_DIR);
    struct {
        const char* clsid;
        const char* reason;
    } cases[] = {{kNoReleaseClsid, "entry point tvx_release is missing"},
                 {kWrongVersionClsid, "interface version 99 is not the expected 1"},
                 {kCreateNullClsid, "does not create this class"}};
    for (const auto& c : cases) {
        std::string text = CallError(*LoadComponentLibrary(c.clsid));
        EXPECT_NE(text.find(c.clsid), std::string::npos) << text;
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    }
    // A call that fails without an error text still names the class.
    std::string text = CallError(*LoadComponentLibrary(kFailingClsid));
    EXPECT_NE(text.find(kFailingClsid), std::string::npos) << text;
}

TEST(ComponentLoading, SimulatorLibrariesLoadAndKeepStatePerComponent) {
    CPathGuard path(TVX_SIM_COMPONENT_DIR);
    std::unique_ptr<IComponent> client = LoadComponentLibrary(kClientClsid);
    std::unique_ptr<IComponent> device = CComponentRegistry::Instance().Create(kDeviceClsid);
    DispArgs args = {simtest::Request("Transaction", simtest::Session::SaleFields("10.00", "1")),
                     std::int16_t{0}, std::string(), std::string("TRANVEX")};
    EXPECT_EQ(simtest::Response(client->Invoke(1, args)).Status(), "Approved");
    EXPECT_EQ(simtest::Response(device->Invoke(8, args)).Status(), "Approved");
    args[0] = simtest::Request("Admin",
                               {{"MerchantID", simtest::Session::kMerchant}, {"TranCode", "BatchSummary"}});
    EXPECT_EQ(simtest::Response(client->Invoke(1, args)).Get("BatchItemCount"), "1");
    std::unique_ptr<IComponent> fresh = LoadComponentLibrary(kClientClsid);
    EXPECT_EQ(simtest::Response(fresh->Invoke(1, args)).Get("BatchItemCount"), "0") << "state is per object";

    // Each library creates only its own class.
    fs::path clientLib = fs::path(TVX_SIM_COMPONENT_DIR) / (std::string(kClientClsid) + ".so");
    CTempDir dir;
    fs::copy_file(clientLib, fs::path(dir.Path()) / (std::string(kDeviceClsid) + ".so"));
    CPathGuard swapped(dir.Path());
    std::string text = CallError(*LoadComponentLibrary(kDeviceClsid), 8);
    EXPECT_NE(text.find("does not create this class"), std::string::npos) << text;
}
