// The network side of tranvex-host, on Boost.Asio coroutines: a fixed pool of threads, each running
// an event loop of its own, the connections dealt out among them in turn, so requests of different
// connections are answered at once and a connection's work never crosses threads.
#include "host/HostServer.h"

#include <utility> // before Asio: its awaitable.hpp uses std::exchange without including it

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "host/HostHttp.h"

namespace tvxhost {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kIdle = std::chrono::seconds(60);
// After a signal, answers in progress get this long before the threads stop.
constexpr auto kStopGrace = std::chrono::milliseconds(1500);
// After a 413 or 400 the rest of what the client sends is read and dropped for this long, so that
// the client sees the answer rather than a reset.
constexpr auto kLinger = std::chrono::seconds(2);

auto Checked(error_code& ec) {
    return asio::redirect_error(asio::use_awaitable, ec);
}

// Sockets and a connection's coroutines on a loop's own executor type: the type-erased default was
// copied and queried on every operation.
using LoopExecutor = asio::io_context::executor_type;
using LoopSocket = asio::basic_stream_socket<tcp, LoopExecutor>;
template <class T = void> using LoopTask = asio::awaitable<T, LoopExecutor>;

auto CheckedOnLoop(error_code& ec) {
    return asio::redirect_error(asio::use_awaitable_t<LoopExecutor>{}, ec);
}

std::string PeerText(const LoopSocket& socket) {
    error_code ec;
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (ec)
        return "-";
    const std::string address = peer.address().to_string();
    return (peer.address().is_v6() ? "[" + address + "]" : address) + ":" + std::to_string(peer.port());
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One connection: its socket, its TLS layer when the host speaks TLS, its session, whether it is
// between a whole request and its answer (then a stop waits for it), and until when what it waits
// for may take.
struct SConnection {
    SConnection(LoopSocket socket, const CSessionSource& sessions)
        : plain(std::move(socket)), session(sessions), strPeer(PeerText(plain)) {}

    // The time limits are a deadline the connection moves on, which a sweep once a second looks at:
    // a timer armed and cancelled around every read and write cost a tenth of the host's time.
    void ExpiresAfter(Clock::duration limit) {
        deadline.store((Clock::now() + limit).time_since_epoch().count(), std::memory_order_relaxed);
    }
    bool Expired(Clock::time_point now) const {
        return deadline.load(std::memory_order_relaxed) < now.time_since_epoch().count();
    }

    LoopSocket plain;
    std::optional<asio::ssl::stream<LoopSocket&>> tls;
    CConnectionSession session;
    std::string strPeer;
    bool bBusy = false;
    std::atomic<Clock::rep> deadline{Clock::time_point::max().time_since_epoch().count()};
};

// The open connections, so that a stop can close the idle ones.
class CConnections {
public:
    std::list<std::shared_ptr<SConnection>>::iterator Add(std::shared_ptr<SConnection> connection) {
        const std::lock_guard lock(m_mutex);
        return m_list.insert(m_list.end(), std::move(connection));
    }
    void Remove(std::list<std::shared_ptr<SConnection>>::iterator at) {
        const std::lock_guard lock(m_mutex);
        m_list.erase(at);
    }
    bool Empty() {
        const std::lock_guard lock(m_mutex);
        return m_list.empty();
    }
    // Closes, on each connection's own loop, those waiting for a request.
    void CloseIdle() {
        const std::lock_guard lock(m_mutex);
        for (const std::shared_ptr<SConnection>& connection : m_list)
            asio::post(connection->plain.get_executor(), [connection] {
                if (!connection->bBusy) {
                    error_code ignored;
                    connection->plain.close(ignored);
                }
            });
    }
    // Closes, on each connection's own loop, those past their deadline: what they wait on ends with
    // an error. The deadline is looked at again there, as the connection may have moved it since.
    void CloseExpired(Clock::time_point now) {
        const std::lock_guard lock(m_mutex);
        for (const std::shared_ptr<SConnection>& connection : m_list)
            if (connection->Expired(now))
                asio::post(connection->plain.get_executor(), [connection] {
                    if (connection->Expired(Clock::now())) {
                        error_code ignored;
                        connection->plain.close(ignored);
                    }
                });
    }

private:
    std::mutex m_mutex;
    std::list<std::shared_ptr<SConnection>> m_list;
};

} // namespace

struct CHostServer::SImpl {
    SImpl(const SHostOptions& opts, std::FILE* out)
        : options(opts), sessions(opts.bDevice, opts.bSharedSession), log(out), loops(MakeLoops()),
          io(*loops.front()), control(asio::make_strand(io)), acceptor(control), signals(control),
          stopTimer(io) {}

    // One loop per processor, two at least, each run by one thread (and told so). One loop shared
    // by all the threads, its connections on strands, spent much of each request on locks and on
    // threads waking one another.
    static std::vector<std::unique_ptr<asio::io_context>> MakeLoops() {
        std::vector<std::unique_ptr<asio::io_context>> made(
            std::max(2u, std::thread::hardware_concurrency()));
        for (auto& loop : made)
            loop = std::make_unique<asio::io_context>(1);
        return made;
    }
    asio::io_context& NextLoop() { return *loops[nextLoop++ % loops.size()]; }

    SHostOptions options;
    CSessionSource sessions;
    CRequestLog log;
    std::vector<std::unique_ptr<asio::io_context>> loops;
    std::size_t nextLoop = 0; // on the control strand only
    asio::io_context& io;     // the first loop: the listener, the signals and the stop run there
    std::optional<asio::ssl::context> tls;
    // The listener and the signals share a strand: a stop closes the listener while an accept may be
    // completing on another thread.
    asio::strand<asio::io_context::executor_type> control;
    tcp::acceptor acceptor;
    asio::signal_set signals;
    asio::steady_timer stopTimer;
    CConnections connections;
    std::atomic<bool> stopping{false};

    asio::awaitable<void> Accept();
    LoopTask<> Serve(std::shared_ptr<SConnection> connection);
    template <class Stream> LoopTask<> ServeHttp(Stream& stream, SConnection& connection);
    template <class Stream> LoopTask<> ServeFramed(Stream& stream, SConnection& connection);
    LoopTask<> Linger(SConnection& connection);
    asio::awaitable<void> StopWhenIdle();
    asio::awaitable<void> FlushLog();
    asio::awaitable<void> SweepExpired();
    void Stop();
};

asio::awaitable<void> CHostServer::SImpl::Accept() {
    while (!stopping) {
        error_code ec;
        LoopSocket socket = co_await acceptor.async_accept(NextLoop(), Checked(ec));
        if (ec == asio::error::operation_aborted || stopping)
            co_return;
        if (ec) { // out of file descriptors or the like: the host stays up and tries again
            std::fprintf(stderr, "tranvex-host: cannot accept a connection: %s\n", ec.message().c_str());
            asio::steady_timer pause(control, std::chrono::milliseconds(100));
            co_await pause.async_wait(Checked(ec));
            continue;
        }
        // An answer goes out whole at once: waiting to gather more (Nagle) only delays the next request.
        socket.set_option(tcp::no_delay(true), ec);
        auto connection = std::make_shared<SConnection>(std::move(socket), sessions);
        const auto executor = connection->plain.get_executor();
        asio::co_spawn(executor, Serve(std::move(connection)), asio::detached);
    }
}

LoopTask<> CHostServer::SImpl::Serve(std::shared_ptr<SConnection> connection) {
    const auto registered = connections.Add(connection);
    try {
        error_code ec;
        if (tls && !stopping) {
            connection->tls.emplace(connection->plain, *tls);
            connection->ExpiresAfter(kIdle);
            co_await connection->tls->async_handshake(asio::ssl::stream_base::server, CheckedOnLoop(ec));
        }
        if (!ec && !stopping) {
            const bool framed = options.protocol == EProtocol::Tcp;
            // One co_await a statement: g++ 12 mishandles a conditional expression of coroutines.
            if (connection->tls && framed)
                co_await ServeFramed(*connection->tls, *connection);
            else if (connection->tls)
                co_await ServeHttp(*connection->tls, *connection);
            else if (framed)
                co_await ServeFramed(connection->plain, *connection);
            else
                co_await ServeHttp(connection->plain, *connection);
        }
    } catch (const std::exception& e) { // no failure of one connection reaches the others
        std::fprintf(stderr, "tranvex-host: %s: %s\n", connection->strPeer.c_str(), e.what());
    }
    error_code ignored;
    connection->plain.close(ignored);
    connections.Remove(registered);
}

template <class Stream> LoopTask<> CHostServer::SImpl::ServeHttp(Stream& stream, SConnection& connection) {
    beast::flat_buffer buffer;
    buffer.reserve(16 * 1024); // a whole request in one read: Beast reads 512 bytes into an empty buffer
    std::string head;
    CRequestArena room;
    for (;;) {
        std::pmr::monotonic_buffer_resource arena = room.Fresh();
        const RequestAllocator memory(&arena);
        HttpRequestParser parser(std::piecewise_construct, std::make_tuple(memory), std::make_tuple(memory));
        parser.body_limit(kMaxRequestBytes);
        connection.ExpiresAfter(kIdle);
        error_code ec;
        co_await http::async_read(stream, buffer, parser, CheckedOnLoop(ec));
        if (ec) {
            const std::optional<http::status> status = StatusForReadError(ec);
            if (!status || stopping)
                co_return;
            SExchange exchange{"-", std::to_string(static_cast<unsigned>(*status))};
            log.Write(connection.strPeer, exchange, 0);
            HttpResponse response = HttpError(*status, 11, ec.message());
            co_await http::async_write(stream, response, CheckedOnLoop(ec));
            if (!ec)
                co_await Linger(connection);
            co_return;
        }
        connection.bBusy = true;
        const Clock::time_point start = Clock::now();
        SExchange exchange;
        HttpResponse response =
            AnswerHttp(parser.get(), connection.session.For(ClientSessionOf(parser.get())), exchange);
        log.Write(connection.strPeer, exchange, MillisecondsSince(start));
        if (stopping)
            response.keep_alive(false);
        connection.ExpiresAfter(kIdle);
        ResponseHead(response, head);
        const std::array<asio::const_buffer, 2> whole{asio::buffer(head), asio::buffer(response.body())};
        co_await asio::async_write(stream, whole, CheckedOnLoop(ec));
        connection.bBusy = false;
        if (ec || !response.keep_alive() || stopping)
            co_return;
    }
}

template <class Stream> LoopTask<> CHostServer::SImpl::ServeFramed(Stream& stream, SConnection& connection) {
    CFrameReader reader(options.framing);
    std::array<char, 16384> chunk;
    for (;;) {
        connection.ExpiresAfter(kIdle);
        std::string request;
        CFrameReader::EState state;
        while ((state = reader.Next(request)) == CFrameReader::EState::NeedMore) {
            error_code ec;
            const std::size_t got = co_await stream.async_read_some(asio::buffer(chunk), CheckedOnLoop(ec));
            if (ec)
                co_return;
            reader.Feed({chunk.data(), got});
        }
        if (state == CFrameReader::EState::Malformed) {
            log.Write(connection.strPeer, {"-", "malformed-frame"}, 0);
            co_return;
        }
        connection.bBusy = true;
        const Clock::time_point start = Clock::now();
        SExchange exchange;
        std::optional<std::string> framed =
            FrameText(options.framing, connection.session.For({}).Answer(request, exchange));
        log.Write(connection.strPeer, exchange, MillisecondsSince(start));
        if (!framed) { // an answer too long for a two-byte length: nothing honest can be sent
            std::fprintf(stderr, "tranvex-host: %s: the answer is too long for its length prefix\n",
                         connection.strPeer.c_str());
            co_return;
        }
        error_code ec;
        co_await asio::async_write(stream, asio::buffer(*framed), CheckedOnLoop(ec));
        connection.bBusy = false;
        if (ec || stopping)
            co_return;
    }
}

LoopTask<> CHostServer::SImpl::Linger(SConnection& connection) {
    error_code ec;
    connection.plain.shutdown(LoopSocket::shutdown_send, ec);
    connection.ExpiresAfter(kLinger);
    std::array<char, 16384> drop;
    while (!ec)
        co_await connection.plain.async_read_some(asio::buffer(drop), CheckedOnLoop(ec));
}

asio::awaitable<void> CHostServer::SImpl::FlushLog() {
    asio::steady_timer timer(io);
    error_code ec;
    while (!stopping) {
        timer.expires_after(std::chrono::milliseconds(100));
        co_await timer.async_wait(Checked(ec));
        log.Flush();
    }
}

asio::awaitable<void> CHostServer::SImpl::SweepExpired() {
    asio::steady_timer timer(control);
    error_code ec;
    while (!stopping) {
        timer.expires_after(std::chrono::seconds(1));
        co_await timer.async_wait(Checked(ec));
        connections.CloseExpired(Clock::now());
    }
}

asio::awaitable<void> CHostServer::SImpl::StopWhenIdle() {
    const Clock::time_point deadline = Clock::now() + kStopGrace;
    error_code ec;
    while (!connections.Empty() && Clock::now() < deadline) {
        stopTimer.expires_after(std::chrono::milliseconds(20));
        co_await stopTimer.async_wait(Checked(ec));
    }
    for (auto& loop : loops)
        loop->stop();
}

void CHostServer::SImpl::Stop() {
    stopping = true;
    error_code ignored;
    acceptor.close(ignored);
    connections.CloseIdle();
    asio::co_spawn(io, StopWhenIdle(), asio::detached);
}

CHostServer::CHostServer(const SHostOptions& options, std::FILE* log)
    : m_impl(std::make_unique<SImpl>(options, log)) {
    SImpl& impl = *m_impl;
    if (!options.strTlsCert.empty()) {
        try {
            impl.tls.emplace(asio::ssl::context::tls_server);
            impl.tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                                  asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                                  asio::ssl::context::no_tlsv1_1);
            impl.tls->use_certificate_chain_file(options.strTlsCert);
            impl.tls->use_private_key_file(options.strTlsKey, asio::ssl::context::pem);
        } catch (const boost::system::system_error& e) {
            throw std::runtime_error("cannot use the certificate " + options.strTlsCert + " and key " +
                                     options.strTlsKey + ": " + e.code().message());
        }
    }
    const std::string where = options.strAddress + ":" + std::to_string(options.nPort);
    try {
        const tcp::endpoint endpoint(asio::ip::make_address(options.strAddress), options.nPort);
        impl.acceptor.open(endpoint.protocol());
        impl.acceptor.set_option(tcp::acceptor::reuse_address(true));
        impl.acceptor.bind(endpoint);
        impl.acceptor.listen(asio::socket_base::max_listen_connections);
    } catch (const boost::system::system_error& e) {
        throw std::runtime_error("cannot listen on " + where + ": " + e.code().message());
    }
}

CHostServer::~CHostServer() = default;

unsigned short CHostServer::Port() const {
    return m_impl->acceptor.local_endpoint().port();
}

void CHostServer::Run() {
    SImpl& impl = *m_impl;
    impl.signals.add(SIGINT);
    impl.signals.add(SIGTERM);
    impl.signals.async_wait([&impl](const error_code& ec, int) {
        if (!ec)
            impl.Stop();
    });
    asio::co_spawn(impl.control, impl.Accept(), asio::detached);
    asio::co_spawn(impl.io, impl.FlushLog(), asio::detached);
    asio::co_spawn(impl.control, impl.SweepExpired(), asio::detached);
    // Each loop has work to wait for (a guard) until the stop, even before its first connection.
    std::vector<asio::executor_work_guard<LoopExecutor>> guards;
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < impl.loops.size(); ++i) {
        guards.push_back(asio::make_work_guard(*impl.loops[i]));
        threads.emplace_back([loop = impl.loops[i].get()] { loop->run(); });
    }
    impl.io.run();
    for (std::thread& thread : threads)
        thread.join();
    impl.log.Flush();
}

} // namespace tvxhost
