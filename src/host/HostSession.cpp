// The simulated processor behind a connection, and the request lines.
#include "host/HostSession.h"

#include <charconv>
#include <chrono>
#include <ctime>

#include <unistd.h>

#include "runner/CardMasking.h"

namespace tvxhost {

namespace {

// The text of the first element of that name, found as text: the request may not be XML at all.
std::string ElementText(std::string_view xml, std::string_view name) {
    // The name followed by '>', then the '<' before it: a search that starts from '<' stops at every
    // tag of the document.
    std::string tail(name);
    tail.push_back('>');
    std::size_t at = xml.find(tail, 1);
    while (at != std::string_view::npos && xml[at - 1] != '<')
        at = xml.find(tail, at + 1);
    if (at == std::string_view::npos)
        return "-";
    const std::size_t from = at + tail.size();
    const std::size_t end = xml.find('<', from);
    std::string text(xml.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
    // One word on the line: blanks inside would shift the columns.
    for (char& c : text)
        if (static_cast<unsigned char>(c) <= ' ')
            c = '_';
    if (text.size() > 40)
        text.resize(40);
    return text.empty() ? "-" : text;
}

} // namespace

std::string CHostSession::Answer(std::string_view request, SExchange& exchange) {
    exchange.strTranCode = ElementText(request, "TranCode");
    std::string answer;
    {
        const std::lock_guard lock(m_mutex);
        answer = m_component.SubmitRequest(request);
    }
    exchange.strCmdStatus = ElementText(answer, "CmdStatus");
    return answer;
}

CHostSession& CConnectionSession::For(std::string_view client) {
    if (!m_session || client != m_strClient) {
        m_session = m_source.ForConnection(); // with --shared-session, the one shared session
        m_strClient = client;
    }
    return *m_session;
}

namespace {

void AppendLine(std::string& line, std::string_view peer, const SExchange& exchange, double milliseconds) {
    const CCardMasker mask;
    // to_chars rounds as printf's "%.2f" does, without its format parsing: snprintf was a tenth of
    // tranvex-host's own time per request.
    char ms[32];
    const auto written = std::to_chars(ms, ms + sizeof ms, milliseconds, std::chars_format::fixed, 2);
    line.append(peer).push_back(' ');
    line.append(mask(exchange.strTranCode)).push_back(' ');
    line.append(mask(exchange.strCmdStatus)).push_back(' ');
    line.append(ms, written.ec == std::errc() ? written.ptr : ms).append(" ms");
}

// "2026-12-08 00:54:37" of the second now falls in, formatted once a second per thread:
// the local-time conversion was a tenth of the host's time per request.
std::string_view SecondStamp(std::time_t seconds) {
    thread_local std::time_t formatted = -1;
    thread_local char stamp[32];
    thread_local std::size_t length = 0;
    if (seconds != formatted) {
        std::tm local{};
        localtime_r(&seconds, &local);
        length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        formatted = seconds;
    }
    return {stamp, length};
}

} // namespace

std::string CRequestLog::Line(std::string_view peer, const SExchange& exchange, double milliseconds) {
    std::string line;
    AppendLine(line, peer, exchange, milliseconds);
    return line;
}

CRequestLog::CRequestLog(std::FILE* out) : m_out(out), m_bTerminal(::isatty(::fileno(out)) == 1) {}

void CRequestLog::Flush() {
    const std::lock_guard lock(m_mutex);
    std::fflush(m_out);
}

void CRequestLog::Write(std::string_view peer, const SExchange& exchange, double milliseconds) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    thread_local std::string line; // kept from line to line: no allocation once it is long enough
    line.assign(SecondStamp(seconds));
    const char fraction[] = {'.', static_cast<char>('0' + millis / 100),
                             static_cast<char>('0' + millis / 10 % 10), static_cast<char>('0' + millis % 10),
                             ' '};
    line.append(fraction, sizeof fraction);
    AppendLine(line, peer, exchange, milliseconds);
    line.push_back('\n');
    const std::lock_guard lock(m_mutex);
    // Our lock already keeps lines whole: the stream's own would be taken a second time.
    ::fwrite_unlocked(line.data(), 1, line.size(), m_out);
    if (m_bTerminal)
        std::fflush(m_out);
}

} // namespace tvxhost
