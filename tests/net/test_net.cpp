// The network component, loaded from tranvex-net.so, against servers each test starts on 127.0.0.1
// on ports the system picks: HTTP(S), framed TCP and TLS, failover and every failure as an answer.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <string_view>
#include <thread>
#include <vector>

#include "SimTestSupport.h"
#include "TestSupport.h"
#include "controls/PaymentTargets.h"
#include "net/NetPool.h"
#include "platform/ComponentLibrary.h"

using simtest::Response;

namespace {

const STargetInfo& kClient = TargetInfo(ETarget::Client);

// One accepted connection, plain or TLS.
struct SPeer {
    int fd;
    SSL* ssl;
    // n bytes, fewer when the client closes first.
    std::string Read(std::size_t n) {
        std::string out;
        char buffer[4096];
        while (out.size() < n) {
            const int want = static_cast<int>(std::min(sizeof buffer, n - out.size()));
            const int got = ssl ? SSL_read(ssl, buffer, want) : static_cast<int>(::recv(fd, buffer, want, 0));
            if (got <= 0)
                break;
            out.append(buffer, got);
        }
        return out;
    }
    void Write(const std::string& s) {
        ssl ? SSL_write(ssl, s.data(), static_cast<int>(s.size()))
            : static_cast<int>(::send(fd, s.data(), s.size(), MSG_NOSIGNAL));
    }
    // An HTTP request: its head, then the body its Content-Length gives.
    std::pair<std::string, std::string> ReadHttp() {
        std::string head;
        while (head.find("\r\n\r\n") == std::string::npos)
            if (const std::string c = Read(1); !c.empty())
                head += c;
            else
                return {head, ""};
        std::smatch length;
        std::regex_search(head, length, std::regex("Content-Length: ([0-9]+)"));
        return {head, Read(length.empty() ? 0 : std::stoul(length[1]))};
    }
    std::string ReadFrame(int prefix) {
        std::size_t length = 0;
        for (unsigned char c : Read(prefix))
            length = length << 8 | c;
        return Read(length);
    }
};

std::string Frame(int prefix, const std::string& text, std::size_t length) {
    std::string out;
    for (int i = prefix - 1; i >= 0; --i)
        out.push_back(static_cast<char>(length >> (8 * i) & 0xFF));
    return out + text;
}

std::string HttpAnswer(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A certificate for 127.0.0.1, made once with the openssl program, trusted only where a test says so.
const tvxtest::CTempDir& CertDir() {
    static tvxtest::CTempDir dir;
    static const int made =
        std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                     "-nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 "
                     "-keyout " +
                     (dir / "key.pem").string() + " -out " + (dir / "cert.pem").string() + " 2>/dev/null")
                        .c_str());
    EXPECT_EQ(made, 0);
    return dir;
}

// A socket bound to a port of 127.0.0.1 that the system picks, and that port.
int BindLoopback(std::string& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    port = std::to_string(ntohs(addr.sin_port));
    return fd;
}

// A port on 127.0.0.1 that refuses connections.
std::string RefusingPort() {
    std::string port;
    ::close(BindLoopback(port));
    return port;
}

// Serves each connection on a thread of its own until destroyed, then ends those still open (an
// idle one a client keeps included).
class CServer {
public:
    using Handler = std::function<void(SPeer&)>;
    explicit CServer(Handler handler, bool tls = false) : m_handler(std::move(handler)) {
        if (tls) {
            m_tls = SSL_CTX_new(TLS_server_method());
            SSL_CTX_use_certificate_file(m_tls, (CertDir() / "cert.pem").c_str(), SSL_FILETYPE_PEM);
            SSL_CTX_use_PrivateKey_file(m_tls, (CertDir() / "key.pem").c_str(), SSL_FILETYPE_PEM);
        }
        m_listener = BindLoopback(m_port);
        ::listen(m_listener, 16);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CServer() {
        m_stop = true;
        m_thread.join();
        {
            const std::lock_guard lock(m_mutex);
            for (int fd : m_open)
                ::shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& peer : m_peers)
            peer.join();
        ::close(m_listener);
        SSL_CTX_free(m_tls);
    }
    const std::string& Port() const { return m_port; }

private:
    void Serve() {
        while (!m_stop) {
            pollfd wait{m_listener, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            const int fd = ::accept(m_listener, nullptr, nullptr);
            const std::lock_guard lock(m_mutex);
            m_open.push_back(fd);
            m_peers.emplace_back([this, fd] { ServePeer(fd); });
        }
    }
    void ServePeer(int fd) {
        // A client that leaves first makes a write fail here rather than end the test process.
        sigset_t pipe;
        sigemptyset(&pipe), sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        SPeer peer{fd, nullptr};
        if (m_tls) {
            peer.ssl = SSL_new(m_tls);
            SSL_set_fd(peer.ssl, peer.fd);
        }
        if (!peer.ssl || SSL_accept(peer.ssl) == 1)
            m_handler(peer);
        SSL_free(peer.ssl);
        const std::lock_guard lock(m_mutex);
        m_open.erase(std::find(m_open.begin(), m_open.end(), fd));
        ::close(fd);
    }
    Handler m_handler;
    SSL_CTX* m_tls = nullptr;
    int m_listener;
    std::string m_port;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<int> m_open; // connections being served
    std::vector<std::thread> m_peers;
};

// Times in milliseconds vary: each becomes "#".
std::string AnyMs(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9]+ ms"), "# ms");
}

const std::string kRequest =
    simtest::Request("Transaction", {{"TranCode", "Sale"}, {"UserTraceData", "T-7"}});

class NetComponent : public ::testing::Test {
protected:
    NetComponent() {
        ::setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        for (const char* name : {"TRANVEX_NET_TIMEOUT", "TRANVEX_NET_CONNECT_TIMEOUT", "TRANVEX_NET_CAFILE"})
            ::unsetenv(name);
        m_net = Load(); // after XDG_CONFIG_HOME: it reads its list from there
    }
    static std::unique_ptr<IComponent> Load(const STargetInfo& target = kClient) {
        return LoadComponentFrom(TRANVEX_COMPONENT_DIR "/tranvex-net.so", target.pszClsid);
    }
    std::string Store(const std::string& list) {
        return Response(m_net->Invoke(kClient.dispids.nStoreServerList, {list, std::int16_t{0}})).Text();
    }
    std::string Submit() {
        return m_net->Invoke(kClient.dispids.nSubmitRequest,
                             {kRequest, std::int16_t{0}, std::string(), std::string("TRANVEX")});
    }
    // The text of an error answer, "#" for each number of milliseconds.
    std::string SubmitError() {
        const Response r(Submit());
        EXPECT_EQ(r.Status() + " " + r.Origin() + " " + r.Get("UserTraceData"), "Error Client T-7");
        return AnyMs(r.Text());
    }
    static void TrustTestCertificate() {
        ::setenv("TRANVEX_NET_CAFILE", (CertDir() / "cert.pem").c_str(), 1);
    }

    tvxtest::CTempDir m_config;
    std::unique_ptr<IComponent> m_net;
};

// Each transport carries the request as its framing says and answers with what the host sends back.
TEST_F(NetComponent, EveryTransportCarriesTheRequestAndItsAnswer) {
    TrustTestCertificate();
    struct SRow {
        const char* scheme; // "" for a bare address
        const char* query;
        int prefix; // length bytes; 0: no framing; -1: HTTP
    } rows[] = {{"http", "/pay", -1},        {"https", "/pay", -1},       {"", "", 2},   {"tcp", "", 2},
                {"tcp", "?framing=len4", 4}, {"tcp", "?framing=none", 0}, {"tls", "", 2}};
    for (const SRow& row : rows) {
        std::string seen;
        CServer server(
            [&](SPeer& peer) {
                if (row.prefix < 0) {
                    const auto [head, body] = peer.ReadHttp();
                    const bool xml =
                        head.find("\r\nContent-Type: text/xml; charset=utf-8\r\n") != std::string::npos;
                    seen = head.substr(0, head.find(' ', 5)) + (xml ? " xml " : " ") + body;
                    peer.Write(HttpAnswer("200 OK", "answer"));
                } else {
                    seen = row.prefix ? peer.ReadFrame(row.prefix) : peer.Read(kRequest.size());
                    peer.Write(Frame(row.prefix, "answer", 6));
                }
            },
            std::string_view(row.scheme) == "https" || std::string_view(row.scheme) == "tls");
        const std::string address = "127.0.0.1:" + server.Port() + row.query;
        SCOPED_TRACE(row.scheme + std::string("://") + address);
        Store(*row.scheme ? row.scheme + std::string("://") + address : address);
        EXPECT_EQ(Submit(), "answer");
        EXPECT_EQ(seen, (row.prefix < 0 ? "POST /pay xml " : "") + kRequest);
    }
}

// A connection is kept from one request to the next (the host's session lasts as long), opened
// again when the host has closed it, and a request the host took on it is never sent a second time.
TEST_F(NetComponent, KeptConnections) {
    TrustTestCertificate();
    enum class EHost { Keeps, ClosesAfterEach, DropsSecond };
    const struct {
        const char* scheme;
        EHost host;
        int connections, requests; // the host saw, after three submits
    } rows[] = {
        {"http", EHost::Keeps, 1, 3},
        {"tls", EHost::Keeps, 1, 3},
        {"tcp", EHost::Keeps, 1, 3},
        {"http", EHost::ClosesAfterEach, 3, 3},
        {"tls", EHost::ClosesAfterEach, 3, 3},
        {"https", EHost::DropsSecond, 3, 3}, // libcurl's second try connects, then stops
        {"tcp", EHost::DropsSecond, 2, 3},
    };
    for (const auto& row : rows) {
        const bool http = row.scheme[0] == 'h';
        std::atomic<int> connections{0}, requests{0};
        std::mutex mutex;
        std::condition_variable closed;
        bool bClosed = false;
        CServer server(
            [&](SPeer& peer) {
                ++connections;
                for (int onThis = 1;; ++onThis) {
                    const std::string request = http ? peer.ReadHttp().second : peer.ReadFrame(2);
                    if (request != kRequest)
                        return;
                    ++requests;
                    if (row.host == EHost::DropsSecond && onThis == 2)
                        return;
                    peer.Write(http ? HttpAnswer("200 OK", "answer") : Frame(2, "answer", 6));
                    if (row.host == EHost::ClosesAfterEach) {
                        // The test goes on once the close has happened: a close racing the next
                        // request is the case DropsSecond makes certain.
                        ::shutdown(peer.fd, SHUT_RDWR);
                        std::lock_guard lock(mutex);
                        bClosed = true;
                        closed.notify_all();
                        return;
                    }
                }
            },
            std::string_view(row.scheme) == "tls" || std::string_view(row.scheme) == "https");
        const std::string name =
            row.scheme + std::string("://127.0.0.1:") + server.Port() + (http ? "/" : "");
        SCOPED_TRACE(name);
        Store(name);
        std::vector<std::string> answers;
        for (int i = 0; i < 3; ++i) {
            const std::string answer = Submit();
            answers.push_back(answer == "answer" ? answer : Response(answer).Text());
            std::unique_lock lock(mutex);
            closed.wait(lock, [&] { return bClosed || row.host != EHost::ClosesAfterEach; });
            bClosed = false;
        }
        Store("127.0.0.1:" + RefusingPort());
        const std::string dropped =
            name + " took the request on a kept connection and closed it without answering; the request "
                   "was not sent again";
        EXPECT_EQ(answers[0], "answer");
        EXPECT_EQ(answers[1], row.host == EHost::DropsSecond ? dropped : "answer");
        EXPECT_EQ(answers[2], "answer");
        EXPECT_EQ(connections.load(), row.connections);
        EXPECT_EQ(requests.load(), row.requests);
    }
}

// Whatever goes wrong is an error answer naming the server and what happened.
TEST_F(NetComponent, FailuresAreErrorAnswersNamingTheServer) {
    EXPECT_EQ(SubmitError(), "No server list stored: use Store Server Name or IP List");
    // Hosts that read the request, then send reply.
    const auto http = [](std::string reply) { return [=](SPeer& p) { p.ReadHttp(), p.Write(reply); }; };
    const auto tcp = [](std::string reply) { return [=](SPeer& p) { p.ReadFrame(2), p.Write(reply); }; };
    const struct {
        const char* scheme;
        std::function<void(SPeer&)> host;
        std::string text; // after the server's name
    } rows[] = {
        {"http", http(HttpAnswer("500 Oops", std::string(300, 'x'))),
         " answered with HTTP status 500: " + std::string(200, 'x')},
        {"http", http(HttpAnswer("200 OK", std::string(50, 'x')).substr(0, 60)),
         " took the request, then the answer broke off (transfer closed with 29 bytes remaining to read)"},
        {"tcp", tcp(Frame(2, "0123456789", 100)),
         " closed the connection after 10 of the 100 bytes of its answer"},
        {"tcp", [](SPeer& p) { p.ReadFrame(2), p.Read(1); },
         " took the request but gave no answer within # ms"},
        {"tcp", tcp(""), " took the request and closed the connection without answering"},
        {"tls", [](SPeer&) {},
         " was not trusted after # ms: the certificate verification failed (SSL certificate problem: "
         "self-signed certificate)"},
    };
    for (const auto& row : rows) {
        const bool tls = row.scheme == std::string("tls");
        // Only the silent host waits for the limit; a short one elsewhere would fail a slow handshake.
        ::setenv("TRANVEX_NET_TIMEOUT", row.text.find("no answer") != std::string::npos ? "0.3" : "20", 1);
        CServer server(row.host, tls);
        const std::string name =
            row.scheme + std::string("://127.0.0.1:") + server.Port() + (row.scheme[0] == 'h' ? "/" : "");
        Store(name);
        EXPECT_EQ(SubmitError(), (tls ? "The request was not sent: " : "") + name + row.text);
    }
}

// A server that cannot be reached gives way to the next; one that took the request never does.
TEST_F(NetComponent, FailoverOnlyBeforeTheRequestLeft) {
    int requests = 0;
    CServer good([&](SPeer& p) {
        requests += p.ReadFrame(2) == kRequest;
        p.Write(Frame(2, "ok", 2));
    });
    CServer untrusted([](SPeer&) {}, true);
    const std::string refusing = "127.0.0.1:" + RefusingPort(), answering = "127.0.0.1:" + good.Port();
    Store(refusing + " tls://127.0.0.1:" + untrusted.Port() + " " + answering);
    EXPECT_EQ(Submit(), "ok");
    EXPECT_EQ(requests, 1);

    CServer hangsUp([](SPeer& p) { p.ReadFrame(2); });
    Store("127.0.0.1:" + hangsUp.Port() + " " + answering);
    EXPECT_EQ(SubmitError(), "127.0.0.1:" + hangsUp.Port() +
                                 " took the request and closed the connection without answering");
    EXPECT_EQ(requests, 1) << "sent again";
}

// The list lasts beyond the component, one per control; bad texts leave it as it was.
TEST_F(NetComponent, ServerTextsAndTheStoredList) {
    EXPECT_EQ(
        Store(" gw.example.net,[::1]:9100 HTTPS://gw.example.net/pay?x=1 tcp://10.0.0.1:9?framing=none"),
        "Server list stored: 4 servers (gw.example.net, [::1]:9100, https://gw.example.net/pay?x=1, "
        "tcp://10.0.0.1:9?framing=none)");
    const std::pair<const char*, const char*> bad[] = {
        {"ftp://h", "Unknown kind of server \"ftp\" in \"ftp://h\": use http, https, tcp or tls"},
        {"tcp://h:1?framing=len3",
         "Invalid framing in \"tcp://h:1?framing=len3\": write ?framing=len2, len4 or none after the port"},
        {"http://::1/",
         "Invalid server name or address \"::1\" in \"http://::1/\": an IPv6 address goes in brackets"},
        {"tls://h:0", "Invalid port \"0\" in \"h:0\": use a number from 1 to 65535"},
    };
    for (const auto& [list, text] : bad)
        EXPECT_EQ(Store(list), text);

    const std::string refusing = "127.0.0.1:" + RefusingPort();
    Store(refusing);
    m_net = Load();
    EXPECT_EQ(SubmitError(), "The request was not sent: " + refusing + " refused the connection after # ms")
        << "stored list read back";
    const STargetInfo& device = TargetInfo(ETarget::Device);
    const Response other(Load(device)->Invoke(device.dispids.nSubmitRequest,
                                              {kRequest, std::int16_t{0}, std::string(), std::string()}));
    EXPECT_EQ(other.Text(), "No server list stored: use Store Server Name or IP List");
}

// Pings of https and tls servers complete the handshake; lookups take a URL's host.
TEST_F(NetComponent, PingsOfSecureServersCompleteTheHandshake) {
    CServer server([](SPeer&) {}, true);
    const std::string url = "https://127.0.0.1:" + server.Port() + "/pay";
    const auto ping = [&] {
        const Response r(m_net->Invoke(kClient.dispids.nPingSingleIP, {url, std::string(), std::int16_t{0}}));
        return r.Status() + ": " + AnyMs(r.Text());
    };
    EXPECT_EQ(ping(), "Error: " + url +
                          " was not trusted after # ms: the certificate verification failed "
                          "(SSL certificate problem: self-signed certificate)");
    TrustTestCertificate();
    EXPECT_EQ(ping(), "Success: " + url + " answered in # ms");
    EXPECT_EQ(Response(m_net->Invoke(kClient.dispids.nGetIPFromServerName,
                                     {std::string("tcp://[::1]:9"), std::int16_t{0}}))
                  .Text(),
              "::1 = ::1");
}

// The session a request names to the host, "" when it names none.
std::string SessionOf(const std::string& head) {
    std::smatch name;
    return std::regex_search(head, name, std::regex("\r\nTranvex-Session: ([^\r]*)\r\n"))
               ? std::string(name[1])
               : "";
}

// A component that ends leaves its HTTP connection to the next one (a connection is transport,
// the session is named in each request), but never one the host closed while it was idle, nor
// one made with other TLS files; a framed connection is the host's session, so it closes instead.
TEST_F(NetComponent, IdleConnectionsPassToTheNextComponent) {
    TrustTestCertificate();
    const std::filesystem::path otherCa = m_config / "other-ca.pem";
    std::filesystem::copy_file(CertDir() / "cert.pem", otherCa);
    enum class EHost { Keeps, ClosesWhileIdle, DropsNext };
    const struct {
        const char* scheme;
        EHost host;
        bool bOtherCa; // the second component trusts the same certificate from another file
        int connections;
        const char* second; // the second component's answer
    } rows[] = {
        {"http", EHost::Keeps, false, 1, "answer"},
        {"https", EHost::Keeps, false, 1, "answer"},
        {"https", EHost::Keeps, true, 2, "answer"},
        {"tcp", EHost::Keeps, false, 2, "answer"},
        {"http", EHost::ClosesWhileIdle, false, 2, "answer"},
        {"https", EHost::ClosesWhileIdle, false, 2, "answer"},
        // libcurl's second try connects, then stops before sending.
        {"http", EHost::DropsNext, false, 2,
         "took the request on a kept connection and closed it without answering"},
    };
    for (const auto& row : rows) {
        const bool http = row.scheme[0] == 'h';
        std::atomic<int> connections{0};
        std::mutex mutex;
        std::vector<std::string> sessions; // of the requests, in order
        std::condition_variable closed;
        bool bClosed = false;
        std::optional<CServer> server;
        server.emplace(
            [&](SPeer& peer) {
                ++connections;
                for (;;) {
                    std::string head, request;
                    if (http)
                        std::tie(head, request) = peer.ReadHttp();
                    else
                        request = peer.ReadFrame(2);
                    if (request != kRequest)
                        return;
                    std::lock_guard lock(mutex);
                    sessions.push_back(SessionOf(head));
                    if (row.host == EHost::DropsNext && sessions.size() == 2)
                        return;
                    peer.Write(http ? HttpAnswer("200 OK", "answer") : Frame(2, "answer", 6));
                    if (row.host == EHost::ClosesWhileIdle) {
                        ::shutdown(peer.fd, SHUT_RDWR);
                        bClosed = true;
                        closed.notify_all();
                        return;
                    }
                }
            },
            std::string_view(row.scheme) == "https");
        const std::string name =
            row.scheme + std::string("://127.0.0.1:") + server->Port() + (http ? "/" : "");
        SCOPED_TRACE(name + (row.bOtherCa ? " other CA file" : ""));
        TrustTestCertificate();
        Store(name);
        EXPECT_EQ(Submit(), "answer");
        {
            std::unique_lock lock(mutex);
            closed.wait(lock, [&] { return bClosed || row.host != EHost::ClosesWhileIdle; });
        }
        m_net = Load(); // the first component ends, the second reads the stored list
        if (row.bOtherCa)
            ::setenv("TRANVEX_NET_CAFILE", otherCa.c_str(), 1);
        const std::string second = Submit();
        EXPECT_EQ(second == "answer" ? second : Response(second).Text(),
                  std::string_view(row.second) == "answer"
                      ? row.second
                      : name + " " + row.second + "; the request was not sent again");
        m_net = Load(); // hands the connection back before the server ends
        server.reset(); // every connection it accepted has been served
        EXPECT_EQ(connections.load(), row.connections);
        const std::lock_guard lock(mutex);
        ASSERT_EQ(sessions.size(), 2u) << "each request sent once";
        if (http) { // each component names its own session
            EXPECT_NE(sessions[0], "");
            EXPECT_NE(sessions[0], sessions[1]);
        }
    }
}

// Components on threads of their own, all sending at once, each have a connection of their own,
// the second time round the idle ones the first left.
TEST_F(NetComponent, ConcurrentComponentsTakeConnectionsOfTheirOwn) {
    TrustTestCertificate();
    constexpr int kComponents = 4;
    for (const char* scheme : {"http", "https"}) {
        std::atomic<int> connections{0}, requests{0};
        std::mutex mutex;
        std::condition_variable allHere;
        int nWaiting = 0, nPeak = 0; // requests the host holds until all have come
        CServer server(
            [&](SPeer& peer) {
                ++connections;
                while (peer.ReadHttp().second == kRequest) {
                    ++requests;
                    std::unique_lock lock(mutex);
                    nPeak = std::max(nPeak, ++nWaiting);
                    allHere.notify_all();
                    // Bounded, so that a fault shows as a lower peak rather than a hang.
                    allHere.wait_for(lock, std::chrono::seconds(10), [&] { return nPeak == kComponents; });
                    --nWaiting;
                    lock.unlock();
                    peer.Write(HttpAnswer("200 OK", "answer"));
                }
            },
            std::string_view(scheme) == "https");
        const std::string name = scheme + std::string("://127.0.0.1:") + server.Port() + "/";
        SCOPED_TRACE(name);
        Store(name);
        for (int round = 1; round <= 2; ++round) {
            std::vector<std::string> answers(kComponents);
            std::vector<std::thread> threads;
            for (int i = 0; i < kComponents; ++i)
                threads.emplace_back([&, i] {
                    const std::unique_ptr<IComponent> net = Load();
                    answers[i] = net->Invoke(kClient.dispids.nSubmitRequest,
                                             {kRequest, std::int16_t{0}, std::string(), std::string()});
                });
            for (std::thread& thread : threads)
                thread.join();
            EXPECT_EQ(answers, std::vector<std::string>(kComponents, "answer")) << "round " << round;
            const std::lock_guard lock(mutex);
            EXPECT_EQ(nPeak, kComponents) << "round " << round << ": requests at the host at once";
            nPeak = 0;
        }
        EXPECT_EQ(connections.load(), kComponents);
        EXPECT_EQ(requests.load(), 2 * kComponents);
    }
}

// The pool alone, on a clock of the test's: handles given back and taken by key, the one given
// back last first, the bounds and the idle limit closing the oldest, nothing kept once closed.
TEST(IdlePool, TakesGivesBackAndCloses) {
    struct SHandle {
        int id;
        std::vector<int>* closed;
        ~SHandle() {
            if (closed) // not one the test took
                closed->push_back(id);
        }
    };
    using Pool = tvxnet::CIdlePool<SHandle>;
    const Pool::Clock::time_point t0{};
    const auto at = [&](int seconds) { return t0 + std::chrono::seconds(seconds); };
    struct SStep {
        char op; // 'r' gives back, 't' takes, 'c' closes the pool
        const char* key;
        int id; // given back, or expected taken (0: none)
        int seconds;
    };
    const struct {
        const char* what;
        std::vector<SStep> steps;
        std::vector<int> closed; // by the steps, in order
    } rows[] = {
        {"by key, the last given back first",
         {{'r', "a", 1, 0},
          {'r', "b", 2, 0},
          {'r', "a", 3, 0},
          {'t', "a", 3, 1},
          {'t', "a", 1, 1},
          {'t', "a", 0, 1},
          {'t', "b", 2, 1}},
         {}},
        {"two a key at most", {{'r', "a", 1, 0}, {'r', "a", 2, 0}, {'r', "b", 3, 0}, {'r', "a", 4, 0}}, {1}},
        {"three in all at most",
         {{'r', "a", 1, 0}, {'r', "b", 2, 0}, {'r', "c", 3, 0}, {'r', "d", 4, 0}},
         {1}},
        {"idle too long", {{'r', "a", 1, 0}, {'r', "a", 2, 5}, {'t', "a", 2, 10}, {'t', "a", 0, 10}}, {1}},
        {"closed", {{'r', "a", 1, 0}, {'c', "", 0, 0}, {'r', "a", 2, 0}, {'t', "a", 0, 0}}, {1, 2}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<int> closed;
        {
            Pool pool({2, 3, std::chrono::seconds(10)});
            for (const SStep& step : row.steps) {
                if (step.op == 'r')
                    pool.Return(step.key, std::unique_ptr<SHandle>(new SHandle{step.id, &closed}),
                                at(step.seconds));
                else if (step.op == 'c')
                    pool.Close();
                else if (auto taken = pool.Take(step.key, at(step.seconds))) {
                    taken->closed = nullptr;
                    EXPECT_EQ(taken->id, step.id);
                } else {
                    EXPECT_EQ(step.id, 0);
                }
            }
            EXPECT_EQ(closed, row.closed);
            closed.clear();
        }
    }
}

} // namespace
