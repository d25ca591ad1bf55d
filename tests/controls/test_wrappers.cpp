// Each wrapper method reaches its own control's DISPID with its arguments in order and typed.
#include <gtest/gtest.h>

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"

namespace {

struct Call {
    int dispid;
    DispArgs args;
};

class Recorder : public IComponent {
public:
    explicit Recorder(std::vector<Call>& calls) : m_calls(calls) {}
    std::string Invoke(int dispid, const DispArgs& args) override {
        m_calls.push_back({dispid, args});
        return "answer " + std::to_string(dispid);
    }

private:
    std::vector<Call>& m_calls;
};

const DispArg S(const char* text) { return std::string(text); }
const DispArg I(std::int16_t value) { return value; }

template <typename Control> std::vector<Call> CallEveryMethod(const char* clsid) {
    std::vector<Call> calls;
    CComponentRegistration registration(clsid, [&] { return std::make_unique<Recorder>(calls); });
    Control control;
    control.Create(1);
    const CString answer = control.SubmitRequest("<TStream/>", 0, "", "TRANVEX");
    EXPECT_EQ(answer, "answer " + std::to_string(calls.at(0).dispid));
    control.StoreServerList("a;b", 0);
    control.PingServerList("9100", 0);
    control.GetIPFromServerName("host", 0);
    control.PingSingleIP("host", "9100", 0);
    return calls;
}

TEST(ControlWrappers, EachControlUsesItsOwnDispidsWithTheArgumentsInOrder) {
    const DispArgs args[] = {{S("<TStream/>"), I(0), S(""), S("TRANVEX")},
                             {S("a;b"), I(0)},
                             {S("9100"), I(0)},
                             {S("host"), I(0)},
                             {S("host"), S("9100"), I(0)}};
    const std::pair<std::vector<Call>, std::vector<int>> controls[] = {
        {CallEveryMethod<CKVTCLientX>(CKVTCLientX::clsid), {1, 2, 3, 5, 6}},
        {CallEveryMethod<CKvtHRNX>(CKvtHRNX::clsid), {8, 7, 6, 4, 3}}};
    for (const auto& [calls, dispids] : controls) {
        ASSERT_EQ(calls.size(), 5u);
        for (size_t i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].dispid, dispids[i]) << i;
            EXPECT_EQ(calls[i].args, args[i]) << i;
        }
    }

    std::vector<Call> listCalls;
    CComponentRegistration registration(CKvtHRNX::clsid, [&] { return std::make_unique<Recorder>(listCalls); });
    CKvtHRNX device;
    device.Create(1021);
    EXPECT_EQ(device.GetDeviceList(), "answer 9");
    ASSERT_EQ(listCalls.size(), 1u);
    EXPECT_TRUE(listCalls[0].args.empty());
}

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
