// libFuzzer target: bytes as tranvex-host reads them from a connection. The first byte chooses HTTP,
// len2 or len4 frames; the rest is the stream. Every HTTP answer is a whole response; every frame's
// answer reads back, through a frame reader, as the text that was framed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/HostFraming.h"
#include "host/HostHttp.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void Frames(tvxhost::EFraming framing, std::string_view bytes, tvxhost::CHostSession& session) {
    tvxhost::CFrameReader reader(framing);
    reader.Feed(bytes);
    std::string request;
    while (reader.Next(request) == tvxhost::CFrameReader::EState::Frame) {
        tvxhost::SExchange exchange;
        const std::string answer = session.Answer(request, exchange);
        Check(!exchange.strTranCode.empty() && !exchange.strCmdStatus.empty());
        const auto framed = tvxhost::FrameText(framing, answer);
        if (!framed)
            continue;
        tvxhost::CFrameReader back(framing);
        back.Feed(*framed);
        std::string text;
        Check(back.Next(text) == tvxhost::CFrameReader::EState::Frame && text == answer &&
              !back.HasPartFrame());
    }
}

// The answers, as written, read back through an HTTP parser as whole responses, one after another.
void HttpResponsesReadBack(std::string_view answers) {
    namespace http = boost::beast::http;
    while (!answers.empty()) {
        http::response_parser<http::string_body> parser;
        parser.eager(true);
        boost::system::error_code error;
        const std::size_t used = parser.put(boost::asio::buffer(answers.data(), answers.size()), error);
        Check(!error && parser.is_done() && parser.get().has_content_length());
        answers.remove_prefix(used);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // One session across runs, as a long-lived connection would be.
    static tvxhost::CHostSession session(false);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0: {
        const std::string answers = tvxhost::AnswerHttpBytes(bytes, session);
        Check(answers.empty() || answers.rfind("HTTP/1.", 0) == 0);
        HttpResponsesReadBack(answers);
        break;
    }
    case 1:
        Frames(tvxhost::EFraming::Len2, bytes, session);
        break;
    default:
        Frames(tvxhost::EFraming::Len4, bytes, session);
        break;
    }
    return 0;
}
