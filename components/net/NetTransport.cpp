// Requests over HTTP(S) and framed TCP/TLS with libcurl, every wait bounded by a deadline.
#include "net/NetTransport.h"

#include <curl/curl.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>

#include "net/NetPool.h"

namespace tvxnet {

namespace {

constexpr std::size_t kFirstBodyBytes = 200; // of a non-2xx body, in the error text
constexpr const char* kSessionHeader = "Tranvex-Session";
// An HTTP connection idle this long is not used again: hosts often close them after a minute.
constexpr int kHttpIdleSeconds = 50;
// Idle connections kept for later components: enough for a load run's sessions to each find one.
constexpr std::size_t kIdlePerKey = 64;
constexpr std::size_t kIdleTotal = 256;
constexpr std::size_t kReadChunk = 64 * 1024;
// A host may close a kept connection just as a request goes: it may have acted on it.
constexpr const char* kKeptClosed =
    "took the request on a kept connection and closed it without answering; the request was not sent again";

long long MsSince(NetClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(NetClock::now() - start).count();
}

long MsUntil(NetClock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - NetClock::now()).count();
    return static_cast<long>(std::max<long long>(left, 1)); // libcurl takes 0 as "no limit"
}

std::string ByteCount(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

} // namespace

// An easy handle with what every use shares: no proxy (a payment goes straight to its host), no
// signals, the TLS files; verification stays on, as libcurl has it. Each use sets its time limits.
class CCurl {
public:
    CCurl(const std::string& url, const SNetLimits& limits) : m_handle(curl_easy_init()) {
        if (!m_handle)
            return;
        curl_easy_setopt(m_handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_handle, CURLOPT_ERRORBUFFER, m_error);
        curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_handle, CURLOPT_PROXY, "");
        curl_easy_setopt(m_handle, CURLOPT_PROTOCOLS_STR, "http,https");
        // The CA file is read beside the system's certificate folder, which stays in use.
        if (!limits.strCaFile.empty())
            curl_easy_setopt(m_handle, CURLOPT_CAINFO, limits.strCaFile.c_str());
        if (!limits.strCertFile.empty())
            curl_easy_setopt(m_handle, CURLOPT_SSLCERT, limits.strCertFile.c_str());
        if (!limits.strKeyFile.empty())
            curl_easy_setopt(m_handle, CURLOPT_SSLKEY, limits.strKeyFile.c_str());
    }
    CCurl(const std::string& url, const SNetLimits& limits, NetClock::time_point deadline)
        : CCurl(url, limits) {
        Limit(limits, deadline);
    }
    // The next transfer ends at deadline at most, its connect (if it needs one) after limits.connect.
    void Limit(const SNetLimits& limits, NetClock::time_point deadline) {
        m_error[0] = '\0';
        curl_easy_setopt(m_handle, CURLOPT_TIMEOUT_MS, MsUntil(deadline));
        curl_easy_setopt(m_handle, CURLOPT_CONNECTTIMEOUT_MS,
                         std::min<long>(MsUntil(deadline), static_cast<long>(limits.connect.count())));
    }
    ~CCurl() {
        if (m_handle)
            curl_easy_cleanup(m_handle);
    }
    CCurl(const CCurl&) = delete;
    CCurl& operator=(const CCurl&) = delete;

    CURL* Handle() const { return m_handle; }
    std::string Error(CURLcode rc) const { return m_error[0] ? m_error : curl_easy_strerror(rc); }

    // The connect's outcome as a probe.
    SNetProbe Probe(CURLcode rc, NetClock::time_point start, const SNetLimits& limits) const {
        SNetProbe probe;
        probe.ms = MsSince(start);
        long osError = 0;
        switch (rc) {
        case CURLE_OK:
            probe.result = SNetProbe::EResult::Answered;
            break;
        case CURLE_COULDNT_RESOLVE_HOST:
            probe.result = SNetProbe::EResult::NotFound;
            break;
        case CURLE_COULDNT_CONNECT:
            curl_easy_getinfo(m_handle, CURLINFO_OS_ERRNO, &osError);
            probe.result = osError == ECONNREFUSED ? SNetProbe::EResult::Refused
                           : osError == ETIMEDOUT  ? SNetProbe::EResult::TimedOut
                                                   : SNetProbe::EResult::Unreachable;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            probe.result = SNetProbe::EResult::TimedOut;
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
            probe.result = SNetProbe::EResult::Untrusted;
            break;
        case CURLE_SSL_CACERT_BADFILE:
            probe.result = SNetProbe::EResult::Setup;
            probe.reason = "TRANVEX_NET_CAFILE " + limits.strCaFile + ": ";
            break;
        case CURLE_SSL_CERTPROBLEM:
            probe.result = SNetProbe::EResult::Setup;
            probe.reason =
                "TRANVEX_NET_CERT " + limits.strCertFile + " and TRANVEX_NET_KEY " + limits.strKeyFile + ": ";
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_CRL_BADFILE:
            probe.result = SNetProbe::EResult::Handshake;
            break;
        default:
            probe.result = SNetProbe::EResult::Unreachable;
            break;
        }
        probe.reason +=
            osError && probe.result == SNetProbe::EResult::Unreachable ? std::strerror(osError) : Error(rc);
        return probe;
    }

private:
    CURL* m_handle;
    char m_error[CURL_ERROR_SIZE] = "";
};

namespace {

using CurlList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

std::string UrlOf(bool secure, const std::string& host, int port, const std::string& path) {
    return (secure ? "https://" : "http://") + HostPort(host, port) + path;
}

struct SHttpState {
    int nSends = 0; // how often libcurl was about to send the request
    std::string body;
    bool bTooLong = false;
};

// libcurl sends a request again on a fresh connection when a kept one dies before any answer
// byte; the host may have acted on the first, so that second send is refused.
int OnHttpPrereq(void* state, char*, char*, int, int) {
    return ++static_cast<SHttpState*>(state)->nSends == 1 ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

std::size_t OnHttpBody(char* data, std::size_t size, std::size_t count, void* state) {
    SHttpState& http = *static_cast<SHttpState*>(state);
    const std::size_t bytes = size * count;
    if (http.body.size() + bytes > kMaxAnswerBytes) {
        http.bTooLong = true;
        return 0; // stops the transfer
    }
    http.body.append(data, bytes);
    return bytes;
}

// At most max bytes of text, not cutting a UTF-8 character in two.
std::string FirstBytes(const std::string& text, std::size_t max) {
    if (text.size() <= max)
        return text;
    std::size_t cut = max;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

SExchange NotSent(std::string problem) {
    return {SExchange::EResult::NotSent, {}, std::move(problem)};
}

SExchange Failed(std::string problem) {
    return {SExchange::EResult::Failed, {}, std::move(problem)};
}

// kept holds the handle from one request to the next, and with it libcurl's open connection.
// session names the component's session to the host (tranvex-host keeps its sessions by it, so a
// connection that served another component does not carry that one's sales).
SExchange ExchangeHttp(const SNetServer& server, const std::string& request, const SNetLimits& limits,
                       NetClock::time_point deadline, const std::string& session,
                       std::unique_ptr<CCurl>& kept) {
    const std::string url = UrlOf(server.Secure(), server.host, server.Port(), server.path);
    if (!kept) {
        kept = std::make_unique<CCurl>(url, limits);
        // Hosts often close a connection idle for a minute; one idle for less is taken again.
        curl_easy_setopt(kept->Handle(), CURLOPT_MAXAGE_CONN, static_cast<long>(kHttpIdleSeconds));
    }
    CCurl& curl = *kept;
    CURL* h = curl.Handle();
    if (!h)
        return NotSent("could not be tried (libcurl has no handle)");
    curl_easy_setopt(h, CURLOPT_URL, url.c_str()); // a pooled connection may have served another path
    curl.Limit(limits, deadline);
    SHttpState state;
    CurlList headers(curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8"),
                     curl_slist_free_all);
    headers.reset(curl_slist_append(headers.release(), "Expect:")); // the body goes at once, no 100 wait
    headers.reset(
        curl_slist_append(headers.release(), (std::string(kSessionHeader) + ": " + session).c_str()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.size()));
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, OnHttpPrereq);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &state);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnHttpBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &state);

    const NetClock::time_point start = NetClock::now();
    const CURLcode rc = curl_easy_perform(h);
    if (rc != CURLE_OK && state.nSends == 0)
        return NotSent(Outcome(curl.Probe(rc, start, limits)));
    if (state.nSends > 1)
        return Failed(kKeptClosed);
    if (state.bTooLong)
        return Failed("answered with more than " + ByteCount(kMaxAnswerBytes));
    if (rc == CURLE_OPERATION_TIMEDOUT)
        return Failed("took the request but gave no complete answer within " +
                      std::to_string(MsSince(start)) + " ms");
    if (rc == CURLE_GOT_NOTHING)
        return Failed("took the request and closed the connection without answering");
    if (rc != CURLE_OK)
        return Failed("took the request, then the answer broke off (" + curl.Error(rc) + ")");
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299)
        return Failed(
            "answered with HTTP status " + std::to_string(status) +
            (state.body.empty() ? " and an empty body" : ": " + FirstBytes(state.body, kFirstBodyBytes)));
    return {SExchange::EResult::Answered, std::move(state.body), {}};
}

// Reads from a connect-only connection, waiting on its socket only when libcurl has nothing left.
class CReader {
public:
    enum class EResult { Complete, Closed, TimedOut, Broken };
    CReader(const CCurl& curl, curl_socket_t socket, NetClock::time_point deadline)
        : m_curl(curl), m_socket(socket), m_deadline(deadline) {}

    // Appends to into until it holds want bytes or the connection ends.
    EResult Read(std::string& into, std::size_t want) {
        char buffer[kReadChunk];
        while (into.size() < want) {
            std::size_t got = 0;
            const CURLcode rc =
                curl_easy_recv(m_curl.Handle(), buffer, std::min(sizeof buffer, want - into.size()), &got);
            if (rc == CURLE_AGAIN) {
                if (!Wait(m_socket, POLLIN, m_deadline))
                    return EResult::TimedOut;
                continue;
            }
            if (rc != CURLE_OK) {
                m_strReason = m_curl.Error(rc);
                return EResult::Broken;
            }
            if (got == 0)
                return EResult::Closed;
            into.append(buffer, got);
        }
        return EResult::Complete;
    }
    const std::string& Reason() const { return m_strReason; }

    // False when deadline came first.
    static bool Wait(curl_socket_t socket, short events, NetClock::time_point deadline) {
        while (NetClock::now() < deadline) {
            pollfd wait{socket, events, 0};
            const int ready = ::poll(&wait, 1, static_cast<int>(MsUntil(deadline)));
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return true; // the next call on the connection tells what is wrong
        }
        return false;
    }

private:
    const CCurl& m_curl;
    curl_socket_t m_socket;
    NetClock::time_point m_deadline;
    std::string m_strReason;
};

// An answer that did not come whole; part says how much came, empty when nothing did. On a kept
// connection the host may have closed it as the request went, so the text says it was not sent again.
SExchange Unfinished(CReader::EResult result, const std::string& part, const CReader& reader,
                     NetClock::time_point start, bool bReused) {
    const std::string within = " within " + std::to_string(MsSince(start)) + " ms";
    switch (result) {
    case CReader::EResult::Closed:
        return Failed(part.empty() ? bReused ? kKeptClosed
                                             : "took the request and closed the connection without answering"
                                   : "closed the connection after " + part);
    case CReader::EResult::TimedOut:
        return Failed(part.empty() ? "took the request but gave no answer" + within
                                   : "sent only " + part + within);
    default:
        return Failed("took the request, then the answer broke off (" + reader.Reason() + ")");
    }
}

std::string LengthPrefix(EFraming framing, std::size_t size) {
    std::string prefix;
    const int bytes = framing == EFraming::Len2 ? 2 : framing == EFraming::Len4 ? 4 : 0;
    for (int i = bytes - 1; i >= 0; --i)
        prefix.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    return prefix;
}

// Whether a kept connect-only connection can take another request: nothing waits on it but what
// libcurl consumes itself (a TLS session ticket); a close or bytes nobody asked for end it.
bool StillOpen(const CCurl& curl) {
    curl_socket_t socket = CURL_SOCKET_BAD;
    curl_easy_getinfo(curl.Handle(), CURLINFO_ACTIVESOCKET, &socket);
    if (socket == CURL_SOCKET_BAD)
        return false;
    for (int round = 0; round < 64; ++round) {
        pollfd wait{socket, POLLIN, 0};
        const int ready = ::poll(&wait, 1, 0);
        if (ready == 0)
            return true;
        if (ready < 0)
            return errno == EINTR;
        char byte;
        std::size_t got = 0;
        if (curl_easy_recv(curl.Handle(), &byte, 1, &got) != CURLE_AGAIN)
            return false;
    }
    return false;
}

// kept holds the connection from one framed request to the next while the host keeps it open.
SExchange ExchangeFramed(const SNetServer& server, const std::string& request, const SNetLimits& limits,
                         NetClock::time_point deadline, std::unique_ptr<CCurl>& kept) {
    const std::size_t maxRequest = server.framing == EFraming::Len2   ? 0xFFFF
                                   : server.framing == EFraming::Len4 ? 0xFFFFFFFF
                                                                      : std::string::npos;
    if (request.size() > maxRequest)
        return NotSent("cannot take a request of " + ByteCount(request.size()) +
                       ": its length prefix holds " + std::to_string(maxRequest) +
                       " at most (?framing=len4 takes more)");

    if (kept && !StillOpen(*kept))
        kept.reset();
    const bool bReused = kept != nullptr;
    const NetClock::time_point start = NetClock::now();
    if (!kept) {
        auto fresh = std::make_unique<CCurl>(UrlOf(server.Secure(), server.host, server.Port(), "/"), limits);
        if (!fresh->Handle())
            return NotSent("could not be tried (libcurl has no handle)");
        // No HTTP is spoken on this connection.
        curl_easy_setopt(fresh->Handle(), CURLOPT_CONNECT_ONLY, 1L);
        curl_easy_setopt(fresh->Handle(), CURLOPT_SSL_ENABLE_ALPN, 0L);
        fresh->Limit(limits, deadline);
        if (const CURLcode rc = curl_easy_perform(fresh->Handle()); rc != CURLE_OK)
            return NotSent(Outcome(fresh->Probe(rc, start, limits)));
        kept = std::move(fresh);
    } else {
        kept->Limit(limits, deadline); // clears the error text of the request before
    }
    const CCurl& curl = *kept;
    CURL* h = curl.Handle();
    curl_socket_t socket = CURL_SOCKET_BAD;
    curl_easy_getinfo(h, CURLINFO_ACTIVESOCKET, &socket);

    const std::string frame = LengthPrefix(server.framing, request.size()) + request;
    std::size_t sent = 0;
    while (sent < frame.size()) {
        std::size_t n = 0;
        const CURLcode sendRc = curl_easy_send(h, frame.data() + sent, frame.size() - sent, &n);
        if (sendRc == CURLE_AGAIN) {
            if (CReader::Wait(socket, POLLOUT, deadline))
                continue;
            const std::string what = "took " + ByteCount(sent) + " of the request's " +
                                     ByteCount(frame.size()) + " within " + std::to_string(MsSince(start)) +
                                     " ms";
            return sent ? Failed(what) : NotSent(what);
        }
        if (sendRc != CURLE_OK) {
            const std::string what = "broke the connection after " + ByteCount(sent) + " of the request's " +
                                     ByteCount(frame.size()) + " (" + curl.Error(sendRc) + ")";
            return sent ? Failed(what) : NotSent(what);
        }
        sent += n;
    }

    CReader reader(curl, socket, deadline);
    std::string answer;
    if (server.framing == EFraming::None) {
        const CReader::EResult result = reader.Read(answer, kMaxAnswerBytes + 1);
        if (result == CReader::EResult::Closed)
            return {SExchange::EResult::Answered, std::move(answer), {}};
        if (result == CReader::EResult::Complete)
            return Failed("answered with more than " + ByteCount(kMaxAnswerBytes));
        return Unfinished(
            result,
            answer.empty() ? "" : ByteCount(answer.size()) + " of its answer without closing the connection",
            reader, start, bReused);
    }

    const std::size_t prefixBytes = server.framing == EFraming::Len2 ? 2 : 4;
    std::string prefix;
    if (const CReader::EResult result = reader.Read(prefix, prefixBytes);
        result != CReader::EResult::Complete)
        return Unfinished(result,
                          prefix.empty() ? ""
                                         : ByteCount(prefix.size()) + " of the " +
                                               std::to_string(prefixBytes) + " length bytes of its answer",
                          reader, start, bReused);
    std::size_t length = 0;
    for (unsigned char c : prefix)
        length = length << 8 | c;
    if (length > kMaxAnswerBytes)
        return Failed("announced an answer of " + ByteCount(length) + ", more than the " +
                      ByteCount(kMaxAnswerBytes) + " taken");
    if (const CReader::EResult result = reader.Read(answer, length); result != CReader::EResult::Complete)
        return Unfinished(result,
                          std::to_string(answer.size()) + " of the " + ByteCount(length) + " of its answer",
                          reader, start, bReused);
    return {SExchange::EResult::Answered, std::move(answer), {}};
}

} // namespace

std::string Outcome(const SNetProbe& probe) {
    const std::string ms = std::to_string(probe.ms) + " ms";
    switch (probe.result) {
    case SNetProbe::EResult::Answered:
        return "answered in " + ms;
    case SNetProbe::EResult::Refused:
        return "refused the connection after " + ms;
    case SNetProbe::EResult::TimedOut:
        return "gave no answer within " + ms;
    case SNetProbe::EResult::NotFound:
        return "was not found after " + ms + " (" + probe.reason + ")";
    case SNetProbe::EResult::Untrusted:
        return "was not trusted after " + ms + ": the certificate verification failed (" + probe.reason + ")";
    case SNetProbe::EResult::Handshake:
        return "failed the TLS handshake after " + ms + " (" + probe.reason + ")";
    case SNetProbe::EResult::Setup:
        return "could not be tried (" + probe.reason + ")";
    case SNetProbe::EResult::Unreachable:
        break;
    }
    return "could not be reached after " + ms + " (" + probe.reason + ")";
}

namespace {

CIdlePool<CCurl>& Pool() {
    // Never destroyed: InitCurl closes what it holds at exit, in an order that is safe for TLS.
    static auto* pool =
        new CIdlePool<CCurl>({kIdlePerKey, kIdleTotal, std::chrono::seconds(kHttpIdleSeconds)});
    return *pool;
}

} // namespace

CNetLink::CNetLink(SNetServer server, std::string strSession)
    : m_server(std::move(server)), m_strSession(std::move(strSession)) {}

CNetLink::~CNetLink() {
    Release();
}

std::string CNetLink::PoolKey() const {
    // Fields joined by a byte none of them holds.
    std::string key = std::to_string(static_cast<int>(m_server.scheme));
    for (const std::string* part : {&m_server.host, &m_strCaFile, &m_strCertFile, &m_strKeyFile})
        key.append(1, '\n').append(*part);
    return key + '\n' + std::to_string(m_server.Port()) + '\n' +
           std::to_string(static_cast<int>(m_server.framing));
}

void CNetLink::Release() {
    if (m_curl && m_server.Http())
        Pool().Return(PoolKey(), std::move(m_curl), NetClock::now());
    m_curl.reset();
}

SExchange CNetLink::Exchange(const std::string& request, const SNetLimits& limits,
                             NetClock::time_point deadline) {
    // The TLS files are given to the handle when it is made: other files need another handle.
    if (limits.strCaFile != m_strCaFile || limits.strCertFile != m_strCertFile ||
        limits.strKeyFile != m_strKeyFile) {
        Release();
        m_strCaFile = limits.strCaFile, m_strCertFile = limits.strCertFile, m_strKeyFile = limits.strKeyFile;
    }
    if (!m_curl && m_server.Http())
        m_curl = Pool().Take(PoolKey(), NetClock::now());
    SExchange exchange = m_server.Http()
                             ? ExchangeHttp(m_server, request, limits, deadline, m_strSession, m_curl)
                             : ExchangeFramed(m_server, request, limits, deadline, m_curl);
    // A connection that failed is in no known state; an unframed answer ended it.
    const bool bUnframed = !m_server.Http() && m_server.framing == EFraming::None;
    if (exchange.result != SExchange::EResult::Answered || bUnframed)
        m_curl.reset();
    return exchange;
}

SNetProbe ProbeTls(const SNetServer& server, const std::string& address, int port, const SNetLimits& limits,
                   NetClock::time_point deadline) {
    SNetLimits once = limits;
    once.connect = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - NetClock::now());
    CCurl curl(UrlOf(true, server.host, port, "/"), once, deadline);
    if (!curl.Handle())
        return {SNetProbe::EResult::Setup, 0, "libcurl has no handle"};
    // The address the ping tries, while the certificate is checked against the name as written.
    const bool v6 = address.find(':') != std::string::npos;
    CurlList pin(
        curl_slist_append(nullptr,
                          (HostPort(server.host, port) + ":" + (v6 ? "[" + address + "]" : address)).c_str()),
        curl_slist_free_all);
    if (address != server.host)
        curl_easy_setopt(curl.Handle(), CURLOPT_RESOLVE, pin.get());
    curl_easy_setopt(curl.Handle(), CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl.Handle(), CURLOPT_SSL_ENABLE_ALPN, 0L);
    const NetClock::time_point start = NetClock::now();
    return curl.Probe(curl_easy_perform(curl.Handle()), start, limits);
}

void InitCurl() {
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        // Exit handlers run in the reverse order of their registration: the idle connections close
        // before the TLS library's own handler (registered by then) frees what they use. libcurl's
        // global state is left to the exit, as a thread still in a call may use it.
        Pool();
        std::atexit([] { Pool().Close(); });
    });
}

std::string NewSessionName() {
    static const unsigned long long process =
        std::random_device()() * 0x100000000ULL + std::random_device()();
    static std::atomic<unsigned long long> next{0};
    char name[40];
    std::snprintf(name, sizeof name, "%016llx-%llu", process, ++next);
    return name;
}

} // namespace tvxnet
