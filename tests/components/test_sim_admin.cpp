// Simulated components: the server-list methods, the device list and the dispatch interface.
#include <gtest/gtest.h>

#include "SimTestSupport.h"

using namespace simtest;
using tvxsim::CSimNetwork;
using tvxsim::ESimKind;

namespace tvxsim {
// Names the parameter in test listings.
inline void PrintTo(ESimKind kind, std::ostream* out) {
    *out << (kind == ESimKind::Client ? "client" : "device");
}
} // namespace tvxsim

namespace {

class Admin : public ::testing::TestWithParam<ESimKind> {
protected:
    Admin() : m_component(GetParam()), m_ids(tvxsim::DispidsOf(GetParam())) {}

    Response Store(const std::string& list) { return Call(m_ids.nStoreServerList, {list, std::int16_t{0}}); }
    Response PingList(const std::string& port) {
        return Call(m_ids.nPingServerList, {port, std::int16_t{0}});
    }
    Response GetIP(const std::string& name) {
        return Call(m_ids.nGetIPFromServerName, {name, std::int16_t{0}});
    }
    Response PingOne(const std::string& server, const std::string& port) {
        return Call(m_ids.nPingSingleIP, {server, port, std::int16_t{0}});
    }
    Response Call(int dispid, const DispArgs& args) { return Response(m_component.Invoke(dispid, args)); }

    tvxsim::CSimComponent m_component;
    tvxsim::SSimDispids m_ids;
};

void ExpectAdminAnswer(const Response& r, const std::string& status, const std::string& origin) {
    ASSERT_TRUE(r.WellFormed()) << r.Xml();
    EXPECT_EQ(r.Status(), status) << r.Xml();
    EXPECT_EQ(r.Origin(), origin);
    EXPECT_FALSE(r.Has("TranResponse"));
    EXPECT_NE(r.Xml().find("</CmdResponse>\r\n"), std::string::npos);
}

} // namespace

TEST_P(Admin, StoreServerListValidatesAndKeepsTheList) {
    Response stored = Store(" tvx-gw1.example.net ; 10.20.30.40,tvx-gw1.EXAMPLE.net,, ");
    ExpectAdminAnswer(stored, "Success", "Client");
    EXPECT_EQ(stored.Text(), "Server list stored: 2 servers (tvx-gw1.example.net, 10.20.30.40)");

    ExpectAdminAnswer(Store(""), "Error", "Client");
    ExpectAdminAnswer(Store(" ;, "), "Error", "Client");
    ExpectAdminAnswer(Store("good.example.net, bad_name"), "Error", "Client");
    ExpectAdminAnswer(Store("10.0.0.256"), "Error", "Client");
    ExpectAdminAnswer(Store("-lead.example.net"), "Error", "Client");
    ExpectAdminAnswer(Store(std::string(5000, 'a')), "Error", "Client");
    std::string many;
    for (int i = 0; i < 17; ++i)
        many += "host" + std::to_string(i) + ",";
    ExpectAdminAnswer(Store(many), "Error", "Client");

    // A refused list leaves the stored one in place.
    Response ping = PingList("");
    ExpectAdminAnswer(ping, "Success", "Client");
    EXPECT_NE(ping.Text().find("2 of 2 servers answered"), std::string::npos) << ping.Text();
}

TEST_P(Admin, PingServerListNeedsAListAndAValidPort) {
    Response none = PingList("");
    ExpectAdminAnswer(none, "Error", "Client");
    EXPECT_EQ(none.Text(), "No server list stored");

    Store("tvx-gw1.example.net;down-gw2.example.net;gone.invalid");
    Response partial = PingList("9100");
    ExpectAdminAnswer(partial, "Success", "Client");
    const std::string& t = partial.Text();
    EXPECT_EQ(t.rfind("Port 9100: 1 of 3 servers answered. ", 0), 0u) << t;
    EXPECT_NE(t.find("down-gw2.example.net (10."), std::string::npos);
    EXPECT_NE(t.find("no reply"), std::string::npos);
    EXPECT_NE(t.find("gone.invalid not found"), std::string::npos);
    EXPECT_NE(PingList("").Text().find("Port 9000:"), std::string::npos) << "default port";

    for (const char* port : {"0", "65536", "80a", "123456", "-1"})
        ExpectAdminAnswer(PingList(port), "Error", "Client");
    ExpectAdminAnswer(PingList("65535"), "Success", "Client");

    Store("down1.example.net, 10.1.1.250");
    Response silent = PingList("");
    ExpectAdminAnswer(silent, "Error", "Server");
    EXPECT_NE(silent.Text().find("0 of 2 servers answered"), std::string::npos);
}

TEST_P(Admin, GetIPFromServerNameResolvesByFixedRules) {
    Response ip = GetIP("10.0.0.5");
    ExpectAdminAnswer(ip, "Success", "Client");
    EXPECT_EQ(ip.Text(), "10.0.0.5 = 10.0.0.5");
    EXPECT_EQ(GetIP("LocalHost").Text(), "LocalHost = 127.0.0.1");
    Response name = GetIP("tvx-gw1.example.net");
    EXPECT_EQ(name.Text(), "tvx-gw1.example.net = " + *CSimNetwork::Resolve("tvx-gw1.example.net"));
    EXPECT_EQ(GetIP("TVX-GW1.example.net").Text().substr(22), name.Text().substr(22)) << "names ignore case";

    ExpectAdminAnswer(GetIP("unknown-host.example.net"), "Error", "Server");
    ExpectAdminAnswer(GetIP("host.invalid"), "Error", "Server");
    ExpectAdminAnswer(GetIP(""), "Error", "Client");
    ExpectAdminAnswer(GetIP("a.example.net,b.example.net"), "Error", "Client");
    ExpectAdminAnswer(GetIP("bad name"), "Error", "Client");
}

TEST_P(Admin, PingSingleIPAnswersForReachableAddressesOnly) {
    Response ok = PingOne("localhost", "");
    ExpectAdminAnswer(ok, "Success", "Client");
    EXPECT_EQ(ok.Text(), "Port 9000: localhost (127.0.0.1) reply 1 ms");
    ExpectAdminAnswer(PingOne("10.9.8.7", "443"), "Success", "Client");
    ExpectAdminAnswer(PingOne("10.9.8.254", "443"), "Error", "Server");
    ExpectAdminAnswer(PingOne("down-gw.example.net", ""), "Error", "Server");
    ExpectAdminAnswer(PingOne("unknown.example.net", ""), "Error", "Server");
    ExpectAdminAnswer(PingOne("10.9.8.7", "99999"), "Error", "Client");
    ExpectAdminAnswer(PingOne("", ""), "Error", "Client");
}

TEST_P(Admin, DispatchErrorsUseTheAutomationTexts) {
    auto error = [&](int dispid, const DispArgs& args) {
        try {
            m_component.Invoke(dispid, args);
        } catch (const CDispatchError& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(error(0, {}), "Member not found.");
    EXPECT_EQ(error(42, {}), "Member not found.");
    EXPECT_EQ(error(m_ids.nSubmitRequest, {std::string("<TStream/>")}), "Invalid number of parameters.");
    EXPECT_EQ(error(m_ids.nSubmitRequest, {std::string("x"), std::string("0"), std::string(), std::string()}),
              "Type mismatch.");
    EXPECT_EQ(error(m_ids.nStoreServerList, {std::int16_t{0}, std::int16_t{0}}), "Type mismatch.");
    EXPECT_EQ(error(m_ids.nPingSingleIP, {std::string("a"), std::int16_t{0}}),
              "Invalid number of parameters.");
}

INSTANTIATE_TEST_SUITE_P(BothComponents, Admin, ::testing::Values(ESimKind::Client, ESimKind::Device),
                         [](const auto& info) {
                             return info.param == ESimKind::Client ? "Client" : "Device";
                         });

TEST(SimDispids, EachComponentAnswersItsOwnNumbers) {
    tvxsim::CSimComponent client(ESimKind::Client), device(ESimKind::Device);
    DispArgs ping = {std::string("localhost"), std::string(""), std::int16_t{0}};
    EXPECT_EQ(Response(client.Invoke(6, ping)).Status(), "Success");
    EXPECT_EQ(Response(device.Invoke(3, ping)).Status(), "Success");
    EXPECT_THROW(client.Invoke(9, {}), CDispatchError) << "the client has no device list";
    EXPECT_THROW(client.Invoke(4, {std::string("x"), std::int16_t{0}}), CDispatchError);
    EXPECT_THROW(device.Invoke(1, {std::string("x"), std::int16_t{0}, std::string(), std::string()}),
                 CDispatchError);
}

TEST(SimDeviceList, IsAWellFormedListWithCRLFLines) {
    tvxsim::CSimComponent device(ESimKind::Device);
    std::string xml = device.Invoke(9, {});
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str())) << xml;
    pugi::xml_node list = doc.child("DeviceList");
    int devices = 0;
    for (pugi::xml_node d : list.children("Device")) {
        EXPECT_FALSE(std::string(d.child_value("Name")).empty());
        EXPECT_FALSE(std::string(d.child_value("Port")).empty());
        EXPECT_FALSE(std::string(d.child_value("Status")).empty());
        ++devices;
    }
    EXPECT_EQ(devices, 3);
    EXPECT_EQ(std::to_string(devices), list.child_value("DeviceCount"));
    std::size_t lines = 0, crlf = 0;
    for (std::size_t i = 0; i < xml.size(); ++i)
        if (xml[i] == '\n' && ++lines && i > 0 && xml[i - 1] == '\r')
            ++crlf;
    EXPECT_GT(lines, 10u);
    EXPECT_EQ(lines, crlf) << "every line break is CR LF";
    EXPECT_THROW(device.Invoke(9, {std::string("x")}), CDispatchError);
}
