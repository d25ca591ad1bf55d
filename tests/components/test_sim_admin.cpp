// Simulated components: the server-list methods against listeners on 127.0.0.1 only and names that
// never reach a name server, the device list and the dispatch interface.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <regex>

#include "SimTestSupport.h"

using namespace simtest;
using tvxsim::ESimKind;
using tvxsim::SLookup;

namespace {

// A TCP socket on 127.0.0.1 with an ephemeral port: listening (closed by the test), or closed at
// once so that its port refuses connections.
std::pair<int, std::string> LoopbackPort(bool listening, int backlog = 16) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), size), 0);
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size), 0);
    EXPECT_EQ(listening ? ::listen(fd, backlog) : ::close(fd), 0);
    return {listening ? fd : -1, std::to_string(ntohs(addr.sin_port))};
}

// Names under example.net never reach a name server: slow.example.net gets no answer in time, the
// others are not found.
SLookup Lookup(const std::string& host, tvxsim::SimClock::time_point deadline) {
    if (!host.ends_with(".example.net"))
        return tvxsim::SystemLookup(host, deadline);
    SLookup lookup;
    lookup.result = host == "slow.example.net" ? SLookup::EResult::TimedOut : SLookup::EResult::NotFound;
    lookup.reason = "Name or service not known";
    return lookup;
}

class SimAdmin : public ::testing::Test {
protected:
    Response Call(int dispid, const DispArgs& args) { return Response(m_component.Invoke(dispid, args)); }
    Response Store(const std::string& list) { return Call(m_ids.nStoreServerList, {list, kOption}); }
    Response PingList(const std::string& port) { return Call(m_ids.nPingServerList, {port, kOption}); }
    Response GetIP(const std::string& name) { return Call(m_ids.nGetIPFromServerName, {name, kOption}); }
    Response PingOne(const std::string& server, const std::string& port) {
        return Call(m_ids.nPingSingleIP, {server, port, kOption});
    }

    static constexpr std::int16_t kOption = 0;
    tvxsim::CSimComponent m_component{ESimKind::Device, Lookup};
    const STargetDispids& m_ids = tvxsim::DispidsOf(ESimKind::Device);
};

// A CmdResponse-only answer: "Success" (from the client) or the error's code (004009 the client's,
// 005005 the server's), and its text, in which "#" stands for a number of ms.
void ExpectAnswer(const Response& r, const std::string& outcome, const std::string& text) {
    ASSERT_TRUE(r.WellFormed()) << r.Xml();
    EXPECT_EQ(r.Status(), outcome == "Success" ? "Success" : "Error") << r.Text();
    EXPECT_EQ(r.Origin(), outcome == "005005" ? "Server" : "Client") << r.Text();
    EXPECT_EQ(r.Code(), outcome == "Success" ? "000000" : outcome);
    EXPECT_FALSE(r.Has("TranResponse"));
    const bool timed = text.find('#') != std::string::npos;
    EXPECT_EQ(timed ? std::regex_replace(r.Text(), std::regex("[0-9]+ ms"), "# ms") : r.Text(), text);
}

// Bad input of every method is the client's error, naming exactly what is wrong.
TEST_F(SimAdmin, ClientErrorsNameEveryBadEntryExactly) {
    ExpectAnswer(PingList(""), "004009", "No server list stored");
    std::string many;
    for (int i = 0; i < 17; ++i)
        many += "host" + std::to_string(i) + " ";
    const std::pair<std::string, std::string> bad[] = {
        {" ;, \t", "The server list is empty"},
        {"good.example.net, bad_name", "Invalid server name or address \"bad_name\""},
        {"10.0.0.256", "Invalid server name or address \"10.0.0.256\""},
        {"host:0", "Invalid port \"0\" in \"host:0\": use a number from 1 to 65535"},
        {"host:", "Invalid port \"\" in \"host:\": use a number from 1 to 65535"},
        {"[::1", "Invalid server name or address \"[::1\""},
        {"[::1]9", "Invalid server name or address \"[::1]9\""},
        {"1:2:zz::", "Invalid IPv6 address \"1:2:zz::\""},
        {std::string(5000, 'a'), "Server list longer than 4096 characters"},
        {many, "More than 16 servers in the list"},
    };
    ExpectAnswer(Store(" 127.0.0.1:9100 ; gw-1.example.net,[::1]:80  GW-1.example.net\t::1"), "Success",
                 "Server list stored: 4 servers (127.0.0.1:9100, gw-1.example.net, [::1]:80, ::1)");
    for (const auto& [list, text] : bad) {
        SCOPED_TRACE(list.substr(0, 40));
        ExpectAnswer(Store(list), "004009", text);
    }
    for (const char* port : {"0", "70000", "12a"}) {
        const std::string text =
            std::string("Invalid ping port \"") + port + "\": use a number from 1 to 65535";
        ExpectAnswer(PingList(port), "004009", text);
        ExpectAnswer(PingOne("127.0.0.1", port), "004009", text);
    }
    ExpectAnswer(PingOne(" ", ""), "004009", "No server name or IP address given");
    ExpectAnswer(PingOne("a b", ""), "004009", "Give one server name or IP address, not a list: \"a b\"");
    ExpectAnswer(GetIP(""), "004009", "No server name given");
    ExpectAnswer(GetIP("a.example.net;b.example.net"), "004009",
                 "Give one server name, not a list: \"a.example.net;b.example.net\"");
    ExpectAnswer(GetIP("bad_name"), "004009", "Invalid server name or address \"bad_name\"");
}

TEST_F(SimAdmin, PingsConnectOverTcpAndLookupsListEveryAddress) {
    const auto [listener, open] = LoopbackPort(true);
    const std::string closed = LoopbackPort(false).second;
    const std::string up = "127.0.0.1:" + open + " answered in # ms";
    const std::string down = "127.0.0.1:" + closed + " refused the connection after # ms";

    ExpectAnswer(PingOne("127.0.0.1:" + open, ""), "Success", up);
    ExpectAnswer(PingOne("127.0.0.1:" + closed, open), "Success", up); // the given port wins
    ExpectAnswer(PingOne("127.0.0.1:" + closed, ""), "005005", down);
    ExpectAnswer(GetIP(" ::1 "), "Success", "::1 = ::1");
    EXPECT_NE(GetIP("localhost").Text().find("127.0.0.1"), std::string::npos);

    Store("127.0.0.1:" + open + ",127.0.0.1:" + closed);
    ExpectAnswer(PingList(""), "Success", "1 of 2 servers answered: " + up + "; " + down);
    ExpectAnswer(PingList(closed), "005005", "None of 2 servers answered: " + down + "; " + down);
    Store("127.0.0.1");
    EXPECT_NE(PingList("").Text().find(" 1 server answered: 127.0.0.1:9000 "), std::string::npos)
        << "default port";
    ::close(listener);
}

// A listener whose queue is full leaves SYNs unanswered: the connect gives up at the limit.
TEST_F(SimAdmin, SilentServersAndUnknownNamesAreServerErrors) {
    const auto [listener, port] = LoopbackPort(true, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    ExpectAnswer(PingOne("127.0.0.1", port), "005005", "127.0.0.1:" + port + " gave no answer within # ms");
    for (int fd : fillers)
        ::close(fd);
    ::close(listener);

    ExpectAnswer(GetIP("nosuch.example.net"), "005005",
                 "Server name not found: \"nosuch.example.net\" (Name or service not known)");
    ExpectAnswer(GetIP("slow.example.net"), "005005",
                 "No answer for \"slow.example.net\" from the name service within 2000 ms");
    ExpectAnswer(PingOne("nosuch.example.net", "9100"), "005005",
                 "nosuch.example.net:9100: name not found (Name or service not known)");
    Store("slow.example.net nosuch.example.net:81");
    ExpectAnswer(PingList(""), "005005",
                 "None of 2 servers answered: slow.example.net:9000: the name lookup gave no answer in time; "
                 "nosuch.example.net:81: name not found (Name or service not known)");
}

// Each kind answers its own DISPIDs with the dispatch errors of a wrong call; the device lists its
// devices, one element a line.
TEST(SimDispids, EachComponentAnswersItsOwnNumbers) {
    tvxsim::CSimComponent client(ESimKind::Client), device(ESimKind::Device);
    DispArgs lookup = {std::string("127.0.0.1"), std::int16_t{0}};
    EXPECT_EQ(Response(client.Invoke(5, lookup)).Status(), "Success");
    EXPECT_EQ(Response(device.Invoke(4, lookup)).Status(), "Success");
    EXPECT_EQ(DispatchError(client, 4, lookup), "Member not found.");
    EXPECT_EQ(DispatchError(device, 5, lookup), "Member not found.");
    EXPECT_EQ(DispatchError(client, 9, {}), "Member not found.") << "the client has no device list";
    EXPECT_EQ(DispatchError(client, 0, {}), "Member not found.") << "0 stands for that missing list";
    EXPECT_EQ(DispatchError(device, 7, {std::int16_t{0}, std::int16_t{0}}), "Type mismatch.");
    EXPECT_EQ(DispatchError(device, 3, {std::string("a"), std::int16_t{0}}), "Invalid number of parameters.");

    const Response list(device.Invoke(9, {}));
    EXPECT_EQ(list.Get("DeviceCount"), "3");
    EXPECT_EQ(list.Get("Device/Port"), "USB1");
    const std::string& xml = list.Xml();
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '\n'), std::count(xml.begin(), xml.end(), '\r'));
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '\n'), 4 + 3 * 7) << "three devices of five fields";
    EXPECT_EQ(xml.find("></"), std::string::npos) << "an empty field";
}

} // namespace
