// A payment control whose component cannot be made fails each call with a dispatch error rather than
// crashing. Which DISPID and arguments each method sends is checked on the real window (AdminTest,
// RunItTest), where every button reaches the wrappers.
#include <gtest/gtest.h>

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"

namespace {

TEST(ControlWrappers, AComponentThatCannotBeMadeFailsEveryCallNamingItsIdentifier) {
    const char* clsid = "{00000000-0000-0000-0000-00000000DEAD}";
    CComponentRegistration registration(clsid, []() -> std::unique_ptr<IComponent> {
        throw std::runtime_error("library missing");
    });
    CKVTCLientX control;
    control.CreateControl(clsid, 1011);
    try {
        control.SubmitRequest("x", 0, "", "TRANVEX");
        FAIL() << "no dispatch error";
    } catch (const CDispatchError& e) {
        EXPECT_NE(std::string(e.what()).find(clsid), std::string::npos) << e.what();
    }
    // A control never created fails the same way rather than crashing.
    CKvtHRNX never;
    EXPECT_THROW(never.GetDeviceList(), CDispatchError);
}

} // namespace
