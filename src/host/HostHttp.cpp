// HTTP requests without sockets.
#include "host/HostHttp.h"

#include <sstream>
#include <tuple>

#include "host/HostFraming.h"
#include "res/Version.h"

namespace tvxhost {

namespace http = boost::beast::http;

namespace {

constexpr const char* kServer = "tranvex-host/" TRANVEX_PRODUCT_VERSION_LITERAL;

HttpResponse Text(http::status status, unsigned version, const char* content_type, std::string body,
                  const RequestAllocator& memory) {
    HttpResponse response(std::piecewise_construct, std::make_tuple(), std::make_tuple(memory));
    response.result(status);
    response.version(version);
    response.set(http::field::server, kServer);
    response.set(http::field::content_type, content_type);
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

} // namespace

HttpResponse AnswerHttp(const HttpRequest& request, CHostSession& session, SExchange& exchange) {
    if (request.method() != http::verb::post) {
        exchange = {"-", "405"};
        HttpResponse response =
            Text(http::status::method_not_allowed, request.version(), "text/plain; charset=utf-8",
                 "POST the request document as the body\n", request.get_allocator());
        response.set(http::field::allow, "POST");
        response.keep_alive(request.keep_alive());
        return response;
    }
    std::string answer;
    try {
        answer = session.Answer(request.body(), exchange);
    } catch (const std::exception& e) { // the simulator answers every text; this is a last guard
        exchange.strCmdStatus = "500";
        return HttpError(http::status::internal_server_error, request.version(), e.what(),
                         request.get_allocator());
    }
    HttpResponse response = Text(http::status::ok, request.version(), "text/xml; charset=utf-8",
                                 std::move(answer), request.get_allocator());
    response.keep_alive(request.keep_alive());
    return response;
}

std::string_view ClientSessionOf(const HttpRequest& request) {
    const auto value = request["Tranvex-Session"];
    return {value.data(), value.size()};
}

HttpResponse HttpError(http::status status, unsigned version, std::string_view text,
                       const RequestAllocator& memory) {
    HttpResponse response =
        Text(status, version, "text/plain; charset=utf-8", std::string(text) + "\n", memory);
    response.keep_alive(false);
    return response;
}

void ResponseHead(const HttpResponse& response, std::string& head) {
    const unsigned version = response.version();
    head.assign("HTTP/");
    head.push_back(static_cast<char>('0' + version / 10));
    head.push_back('.');
    head.push_back(static_cast<char>('0' + version % 10));
    head.push_back(' ');
    head.append(std::to_string(response.result_int())).push_back(' ');
    const auto append = [&head](boost::beast::string_view text) { head.append(text.data(), text.size()); };
    append(response.reason());
    head.append("\r\n");
    for (const auto& field : response) {
        append(field.name_string());
        head.append(": ");
        append(field.value());
        head.append("\r\n");
    }
    head.append("\r\n");
}

std::optional<http::status> StatusForReadError(const boost::system::error_code& error) {
    if (error == http::error::body_limit)
        return http::status::payload_too_large;
    if (error == http::error::header_limit)
        return http::status::request_header_fields_too_large;
    if (error == http::error::end_of_stream || error == http::error::partial_message ||
        error.category() != http::make_error_code(http::error::bad_method).category())
        return std::nullopt;
    return http::status::bad_request;
}

std::string AnswerHttpBytes(std::string_view bytes, CHostSession& session) {
    std::ostringstream answers;
    boost::system::error_code error;
    CRequestArena room;
    while (!bytes.empty()) {
        std::pmr::monotonic_buffer_resource arena = room.Fresh();
        const RequestAllocator memory(&arena);
        HttpRequestParser parser(std::piecewise_construct, std::make_tuple(memory), std::make_tuple(memory));
        parser.body_limit(kMaxRequestBytes);
        parser.eager(true);
        while (!bytes.empty() && !parser.is_done()) {
            const std::size_t used = parser.put(boost::asio::buffer(bytes.data(), bytes.size()), error);
            if (error == http::error::need_more)
                return answers.str(); // the rest would come on the connection
            if (error) {
                if (auto status = StatusForReadError(error))
                    answers << HttpError(*status, 11, "bad request");
                return answers.str();
            }
            bytes.remove_prefix(used);
        }
        if (!parser.is_done()) {
            parser.put_eof(error);
            if (!parser.is_done())
                return answers.str();
        }
        SExchange exchange;
        const HttpResponse response = AnswerHttp(parser.get(), session, exchange);
        std::string head;
        ResponseHead(response, head);
        answers << head << response.body();
        if (!response.keep_alive())
            break;
    }
    return answers.str();
}

} // namespace tvxhost
