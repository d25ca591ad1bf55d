// HTTP requests without sockets: a parsed request in, the answer out.
#pragma once

#include <boost/beast/http.hpp>

#include "host/HostSession.h"

namespace tvxhost {

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

// A POST's body is the request, the answer the body of a 200; another method gets 405. The path is
// not looked at. The connection stays open when the request allows it.
HttpResponse AnswerHttp(const HttpRequest& request, CHostSession& session, SExchange& exchange);

// The client session a request names in its Tranvex-Session header; empty when none.
std::string_view ClientSessionOf(const HttpRequest& request);

// The answer to a request that cannot be read (400, 413, 500): a short text, and the connection closed.
HttpResponse HttpError(boost::beast::http::status status, unsigned version, std::string_view text);

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
