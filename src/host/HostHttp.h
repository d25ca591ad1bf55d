// HTTP requests without sockets: a parsed request in, the answer out.
#pragma once

#include <boost/beast/http.hpp>

#include <array>
#include <cstddef>
#include <memory_resource>

#include "host/HostSession.h"

namespace tvxhost {

// A request's fields and body take their memory from an arena of its connection, given back whole
// once it is answered. With a connection's requests interleaved with those of others on one thread,
// allocating them piece by piece missed the allocator's per-thread cache and cost a tenth of the
// host's time per sale.
using RequestAllocator = std::pmr::polymorphic_allocator<char>;
using RequestBody = boost::beast::http::basic_string_body<char, std::char_traits<char>, RequestAllocator>;
using HttpRequest =
    boost::beast::http::request<RequestBody, boost::beast::http::basic_fields<RequestAllocator>>;
using HttpRequestParser = boost::beast::http::request_parser<RequestBody, RequestAllocator>;
// An answer's fields come from the same arena as its request's.
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body,
                                                  boost::beast::http::basic_fields<RequestAllocator>>;

// Memory for one request at a time: a usual request's fields and body fit in it, a larger one takes
// the rest from the heap. What Fresh gives must outlive the parser and the answer made from it.
class CRequestArena {
public:
    std::pmr::monotonic_buffer_resource Fresh() { return {m_room.data(), m_room.size()}; }

private:
    alignas(std::max_align_t) std::array<std::byte, 8 * 1024> m_room;
};

// A POST's body is the request, the answer the body of a 200; another method gets 405. The path is
// not looked at. The connection stays open when the request allows it.
HttpResponse AnswerHttp(const HttpRequest& request, CHostSession& session, SExchange& exchange);

// The client session a request names in its Tranvex-Session header; empty when none.
std::string_view ClientSessionOf(const HttpRequest& request);

// The answer to a request that cannot be read (400, 413, 500): a short text, and the connection closed.
HttpResponse HttpError(boost::beast::http::status status, unsigned version, std::string_view text,
                       const RequestAllocator& memory = {});

// The status for a failed read of a request, with a parser's error; none when there is nobody to
// answer (the client closed, the connection broke or timed out).
std::optional<boost::beast::http::status> StatusForReadError(const boost::system::error_code& error);

// The status line and header fields of a response, as the connection sends them before the body.
// The server writes them and the body as two buffers of one write: Beast's serializer of the whole
// message cost a tenth of the host's time per sale. head is reused, so it seldom allocates.
void ResponseHead(const HttpResponse& response, std::string& head);

// Parses bytes as the connection would, answering each whole request; the answers' texts, joined.
// Used by the fuzz target: the same parser limits and handler as the server.
std::string AnswerHttpBytes(std::string_view bytes, CHostSession& session);

} // namespace tvxhost
