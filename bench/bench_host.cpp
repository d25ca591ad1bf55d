// tranvex-host and the network component over HTTP on loopback, each beside a baseline from the same
// run: the host's sales per second under wrk with keep-alive beside nginx answering a fixed body of the
// same size (what HTTP itself costs on this machine), and the network component's round trip per sale
// beside a plain libcurl POST loop to the same host on one kept-alive connection, as the component keeps.
// Without wrk or nginx the first figure is skipped with a line saying so.
#include "ChildProcess.h"
#include "RatioReporter.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "controls/PaymentTargets.h"
#include "platform/ComponentLibrary.h"

namespace fs = std::filesystem;

namespace {

// The same load for the host and for nginx, one after the other, in rounds; the round of the median
// ratio counts.
const char* const kWrkLoad[] = {"-t2", "-c32", "-d3s"};
constexpr int kWrkRounds = 3;
// Sales per round and rounds, net and curl taking turns; the median round counts.
constexpr int kSalesPerRound = 300;
constexpr int kRounds = 5;

std::string ReadText(const fs::path& path) {
    std::ostringstream in;
    in << std::ifstream(path, std::ios::binary).rdbuf();
    return in.str();
}

// The sample's first Sale block as tranvex-run sends it: the XML declaration, TStream around the block.
std::string SaleRequest() {
    const std::string text = ReadText(fs::path(TRANVEX_SOURCE_DIR) / "examples" / "TStream.xml");
    const std::size_t sale = text.find("<TranCode>Sale</TranCode>");
    const std::size_t begin = text.rfind("<Transaction>", sale);
    const std::size_t end = text.find("</Transaction>", sale) + std::string_view("</Transaction>").size();
    std::string block = text.substr(begin, end - begin);
    for (std::size_t at = 0; (at = block.find('\n', at)) != std::string::npos; at += 2)
        block.replace(at, 1, "\r\n");
    return "<?xml version=\"1.0\"?>\r\n<TStream>\r\n\t" + block + "\r\n</TStream>\r\n";
}

// A program on PATH or in /usr/sbin (where nginx is), or empty.
std::string FindProgram(const std::string& name) {
    std::string path = ::getenv("PATH") ? ::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin";
    std::istringstream dirs(path);
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((fs::path(dir) / name).c_str(), X_OK) == 0)
            return (fs::path(dir) / name).string();
    return "";
}

// A port free on 127.0.0.1 just now, for nginx, which cannot be told to pick one.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    ::close(fd);
    return ntohs(addr.sin_port);
}

pid_t Start(const std::vector<std::string>& args, int outFd = -1) {
    return tvxbench::StartChild(args, outFd);
}

void Stop(pid_t child) {
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
}

// tranvex-host on 127.0.0.1, on the port it picks. Its standard output goes to a file in dir: the first
// line names the port, then a line for every request (a pipe nobody reads would fill and hold the host).
class CHost {
public:
    explicit CHost(const fs::path& dir) {
        const fs::path out = dir / "host.out";
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        m_pid = Start({TRANVEX_HOST, "--listen", "127.0.0.1:0"}, fd);
        ::close(fd);
        const std::string_view listening = "listening on 127.0.0.1:";
        for (int tries = 0; tries < 200 && m_port == 0; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const std::string text = ReadText(out);
            if (const std::size_t at = text.find(listening); at != std::string::npos)
                m_port = std::atoi(text.c_str() + at + listening.size());
        }
    }
    ~CHost() { Stop(m_pid); }
    int Port() const { return m_port; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

private:
    pid_t m_pid;
    int m_port = 0;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

// The plain libcurl POST loop: one handle, its connection kept from one request to the next.
class CCurlPoster {
public:
    CCurlPoster(const std::string& url, const std::string& body) : m_handle(curl_easy_init()) {
        m_headers = curl_slist_append(nullptr, "Content-Type: text/xml; charset=utf-8");
        m_headers = curl_slist_append(m_headers, "Expect:");
        curl_easy_setopt(m_handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(m_handle, CURLOPT_HTTPHEADER, m_headers);
        curl_easy_setopt(m_handle, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(m_handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(m_handle, CURLOPT_PROXY, "");
        curl_easy_setopt(m_handle, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_handle, CURLOPT_WRITEFUNCTION, Append);
        curl_easy_setopt(m_handle, CURLOPT_WRITEDATA, &m_answer);
    }
    ~CCurlPoster() {
        curl_easy_cleanup(m_handle);
        curl_slist_free_all(m_headers);
    }
    std::string Post() {
        m_answer.clear();
        return curl_easy_perform(m_handle) == CURLE_OK ? m_answer : std::string();
    }

private:
    CURL* m_handle;
    curl_slist* m_headers;
    std::string m_answer;
};

// The machine's pace changes between rounds more than within one: the round whose ours / theirs is
// the median is kept, not the medians of either side, which may come from different rounds.
std::size_t RoundOfMedianRatio(const std::vector<double>& ours, const std::vector<double>& theirs) {
    std::vector<std::size_t> rounds(ours.size());
    std::iota(rounds.begin(), rounds.end(), 0);
    std::sort(rounds.begin(), rounds.end(),
              [&](std::size_t a, std::size_t b) { return ours[a] / theirs[a] < ours[b] / theirs[b]; });
    return rounds[rounds.size() / 2];
}

double SecondsOf(const std::function<void()>& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Rate(double perSecond) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f sales/s", perSecond);
    return text;
}

// wrk's requests per second against url, posting the body in dir/sale.xml; 0 when wrk failed or any
// answer was not a 2xx.
double WrkRate(const std::string& wrk, const fs::path& dir, const std::string& url) {
    std::vector<std::string> args{wrk};
    args.insert(args.end(), std::begin(kWrkLoad), std::end(kWrkLoad));
    args.insert(args.end(), {"-s", (dir / "sale.lua").string(), url});
    const fs::path out = dir / "wrk.out";
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int status = 0;
    ::waitpid(Start(args, fd), &status, 0);
    ::close(fd);
    const std::string text = ReadText(out);
    std::fprintf(stderr, "%s", text.c_str());
    const std::size_t at = text.find("Requests/sec:");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos ||
        text.find("Non-2xx") != std::string::npos)
        return 0;
    return std::atof(text.c_str() + at + std::strlen("Requests/sec:"));
}

// nginx as this user, everything it writes in dir, answering every request with body.
pid_t StartNginx(const std::string& nginx, const fs::path& dir, int port, const std::string& body,
                 int workers) {
    // A quoted nginx string: backslash and quote escaped, '$' (a variable there) changed for a byte
    // of the same size.
    std::string quoted;
    for (char c : body) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c == '$' ? '_' : c;
    }
    const std::string d = dir.string();
    std::ofstream(dir / "nginx.conf")
        << "worker_processes " << workers << ";\n"
        << "pid " << d << "/nginx.pid;\nerror_log " << d << "/nginx-error.log;\n"
        << "events { worker_connections 1024; }\n"
        << "http {\n access_log off;\n keepalive_requests 100000000;\n"
        << " client_body_temp_path " << d << "/body; proxy_temp_path " << d << "/proxy;\n"
        << " fastcgi_temp_path " << d << "/fastcgi; uwsgi_temp_path " << d << "/uwsgi;"
        << " scgi_temp_path " << d << "/scgi;\n"
        << " server {\n  listen 127.0.0.1:" << port << ";\n"
        << "  location / { default_type \"text/xml; charset=utf-8\"; return 200 \"" << quoted << "\"; }\n"
        << " }\n}\n";
    return Start(
        {nginx, "-p", d, "-c", d + "/nginx.conf", "-e", d + "/nginx-error.log", "-g", "daemon off;"});
}

// The host's rate under wrk beside nginx's, in turns; false when wrk or nginx is missing or failed.
bool HttpFigure(const CHost& host, const fs::path& dir, const std::string& sale, const std::string& answer) {
    const std::string wrk = FindProgram("wrk"), nginx = FindProgram("nginx");
    if (wrk.empty() || nginx.empty()) {
        std::printf("skipped: tranvex-host beside nginx under wrk needs both programs (Debian packages wrk "
                    "and nginx-light); missing:%s%s\n",
                    wrk.empty() ? " wrk" : "", nginx.empty() ? " nginx" : "");
        return true;
    }
    std::ofstream(dir / "sale.xml", std::ios::binary) << sale;
    std::ofstream(dir / "sale.lua") << "wrk.method = \"POST\"\n"
                                    << "wrk.headers[\"Content-Type\"] = \"text/xml; charset=utf-8\"\n"
                                    << "local file = io.open(\"" << (dir / "sale.xml").string()
                                    << "\", \"rb\")\n"
                                    << "wrk.body = file:read(\"*a\")\nfile:close()\n";
    const int port = FreePort();
    // As many workers as the host has threads: one per processor, at least two.
    const pid_t server =
        StartNginx(nginx, dir, port, answer, std::max(2u, std::thread::hardware_concurrency()));
    const std::string nginxUrl = "http://127.0.0.1:" + std::to_string(port) + "/";
    CCurlPoster probe(nginxUrl, sale);
    std::string fixed;
    for (int tries = 0; tries < 100 && fixed.empty(); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        fixed = probe.Post();
    }
    bool bOk = fixed.size() == answer.size();
    std::vector<double> hostRates, nginxRates;
    for (int round = 0; bOk && round < kWrkRounds; ++round) {
        hostRates.push_back(WrkRate(wrk, dir, host.Url()));
        nginxRates.push_back(WrkRate(wrk, dir, nginxUrl));
        bOk = hostRates.back() > 0 && nginxRates.back() > 0;
    }
    Stop(server);
    if (!bOk) {
        std::fprintf(stderr, "nginx or wrk failed (nginx answered %zu bytes for %zu)\n", fixed.size(),
                     answer.size());
        return false;
    }
    // As in the round trip below: a round's two rates come from the same moment of the machine. Now
    // and then nginx and wrk fall into step and nginx answers twice as fast for one round; the best
    // of each side let such a round decide the figure alone.
    const std::size_t median = RoundOfMedianRatio(hostRates, nginxRates);
    const double hostRate = hostRates[median], nginxRate = nginxRates[median];
    PrintFigure(
        "tranvex-host sales/s over HTTP with keep-alive (wrk -t2 -c32) / nginx with a fixed answer of the "
        "same size",
        Rate(hostRate), Rate(nginxRate), hostRate / nginxRate, ">= 0.5");
    return true;
}

// The network component's round trip per sale beside the curl loop's, to the same host, in turns.
bool RoundTripFigure(const CHost& host, const fs::path& dir, const std::string& sale,
                     const std::string& answer) {
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1); // where the component keeps its server list
    const STargetInfo& client = TargetInfo(ETarget::Client);
    const std::unique_ptr<IComponent> net =
        LoadComponentFrom(TRANVEX_COMPONENT_DIR "/tranvex-net.so", client.pszClsid);
    net->Invoke(client.dispids.nStoreServerList, {host.Url(), std::int16_t{0}});
    const DispArgs submit{sale, std::int16_t{0}, std::string(), std::string("TRANVEX")};
    if (net->Invoke(client.dispids.nSubmitRequest, submit) != answer) {
        std::fprintf(stderr, "the network component's answer differs from curl's\n");
        return false;
    }
    // The host deals connections to its event loops (one per processor, two at least) in turn, and a
    // loop that has to wake a sleeping processor answers several times slower on this machine: the
    // connections opened here put the curl loop's connection on the network component's event loop,
    // so both wait on the same one.
    for (unsigned n = 1; n < std::max(2u, std::thread::hardware_concurrency()); ++n)
        CCurlPoster(host.Url(), sale).Post();
    CCurlPoster curl(host.Url(), sale);
    std::vector<double> netNs, curlNs;
    for (int round = 0; round < kRounds; ++round) {
        netNs.push_back(SecondsOf([&] {
                            for (int i = 0; i < kSalesPerRound; ++i)
                                net->Invoke(client.dispids.nSubmitRequest, submit);
                        }) *
                        1e9 / kSalesPerRound);
        curlNs.push_back(SecondsOf([&] {
                             for (int i = 0; i < kSalesPerRound; ++i)
                                 curl.Post();
                         }) *
                         1e9 / kSalesPerRound);
        std::fprintf(stderr, "round %d: net %s, curl loop %s per sale\n", round + 1,
                     FormatNs(netNs.back()).c_str(), FormatNs(curlNs.back()).c_str());
    }
    const std::size_t kept = RoundOfMedianRatio(netNs, curlNs);
    PrintFigure("network component round trip per sale to tranvex-host over HTTP / libcurl POST loop, a "
                "kept connection",
                FormatNs(netNs[kept]), FormatNs(curlNs[kept]), netNs[kept] / curlNs[kept], "<= 1.3");
    return true;
}

} // namespace

int main() {
    ::signal(SIGPIPE, SIG_IGN);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    std::string pattern = (fs::temp_directory_path() / "tranvex-bench-host-XXXXXX").string();
    const fs::path dir = ::mkdtemp(pattern.data());
    const std::string sale = SaleRequest();
    bool bOk = false;
    {
        const CHost host(dir);
        const std::string answer = host.Port() ? CCurlPoster(host.Url(), sale).Post() : std::string();
        if (answer.find("<CmdStatus>Approved</CmdStatus>") == std::string::npos)
            std::fprintf(stderr, "tranvex-host did not approve the sale: %s\n", answer.c_str());
        else
            bOk = HttpFigure(host, dir, sale, answer) & RoundTripFigure(host, dir, sale, answer);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    curl_global_cleanup();
    return bOk ? 0 : 1;
}
