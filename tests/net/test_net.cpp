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

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <regex>
#include <string_view>
#include <thread>

#include "SimTestSupport.h"
#include "TestSupport.h"
#include "controls/PaymentTargets.h"
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

// Serves every connection on its own thread, one after the other, until destroyed.
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
        ::listen(m_listener, 8);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CServer() {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
        SSL_CTX_free(m_tls);
    }
    const std::string& Port() const { return m_port; }

private:
    void Serve() {
        // A client that leaves first makes a write fail here rather than end the test process.
        sigset_t pipe;
        sigemptyset(&pipe), sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        while (!m_stop) {
            pollfd wait{m_listener, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            SPeer peer{::accept(m_listener, nullptr, nullptr), nullptr};
            if (m_tls) {
                peer.ssl = SSL_new(m_tls);
                SSL_set_fd(peer.ssl, peer.fd);
            }
            if (!peer.ssl || SSL_accept(peer.ssl) == 1)
                m_handler(peer);
            SSL_free(peer.ssl);
            ::close(peer.fd);
        }
    }
    Handler m_handler;
    SSL_CTX* m_tls = nullptr;
    int m_listener;
    std::string m_port;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
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
        // Storing a list without the server closes its connection, so the host's thread ends.
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

} // namespace
