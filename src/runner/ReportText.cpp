// Escaping for the XML and HTML reports.
#include "runner/ReportText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>

#include <stdlib.h>
#include <unistd.h>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Length of the well-formed UTF-8 sequence at text[pos], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t pos) {
    const unsigned char lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                         : lead >= 0xE0                ? 3
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                                                       : 0;
    if (length == 0 || pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
            return 0;
    const unsigned char second = static_cast<unsigned char>(text[pos + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0; // overlong, surrogate or beyond U+10FFFF
    if (lead == 0xEF && second == 0xBF && (static_cast<unsigned char>(text[pos + 2]) & 0xFE) == 0xBE)
        return 0; // U+FFFE and U+FFFF are not characters
    return length;
}

// Bytes that go out as they are, in escaped text and in a CDATA section.
constexpr auto MakePlain(std::string_view special) {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = special.find(static_cast<char>(c)) == std::string_view::npos;
    plain['\n'] = plain['\t'] = true;
    return plain;
}
constexpr auto kPlainEscaped = MakePlain("&<>\"'");
constexpr auto kPlainHtmlText = MakePlain("&<"); // the only markup in an HTML element's text
constexpr auto kPlainInCData = MakePlain("]");

// The byte at text[pos], which is not plain either way; returns the bytes of the text it used.
std::size_t AppendSpecial(CString& out, std::string_view text, std::size_t pos) {
    const auto u = static_cast<unsigned char>(text[pos]);
    switch (u) {
    case '&':
        out += "&amp;";
        return 1;
    case '<':
        out += "&lt;";
        return 1;
    case '>':
        out += "&gt;";
        return 1;
    case '"':
        out += "&quot;";
        return 1;
    case '\'':
        out += "&#39;";
        return 1;
    case ']':
        if (text.substr(pos, 3) == "]]>") {
            out += "]]]]><![CDATA[>"; // "]]>" cannot stand inside one section
            return 3;
        }
        out += ']';
        return 1;
    case '\r':
        if (pos + 1 < text.size() && text[pos + 1] == '\n')
            return 1; // a CR LF line end: the LF follows
        out += '\n';
        return 1;
    default:
        if (const std::size_t length = u >= 0x80 ? Utf8Length(text, pos) : 0; length > 0) {
            out += text.substr(pos, length);
            return length;
        }
        out += kReplacement; // other control characters, bytes that are not UTF-8
        return 1;
    }
}

// Runs of plain bytes are appended at once, the bytes between them one by one.
void AppendChecked(CString& out, std::string_view text, const std::array<bool, 256>& plain) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && plain[static_cast<unsigned char>(text[pos])])
            ++pos;
        out.append(text.data() + start, pos - start);
        if (pos < text.size())
            pos += AppendSpecial(out, text, pos);
    }
}

} // namespace

CString LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

void AppendFixed(CString& out, double dValue, int nDecimals) {
    char digits[400]; // room for the largest double
    const auto result =
        std::to_chars(digits, digits + sizeof digits, dValue, std::chars_format::fixed, nDecimals);
    out.append(digits, result.ec == std::errc() ? result.ptr : digits);
}

CReportWriter::CReportWriter(std::ostream& out) : m_out(out) {}

CReportWriter& CReportWriter::operator<<(long long n) {
    char digits[24];
    m_text.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    return *this;
}

CReportWriter& CReportWriter::Fixed(double dValue, int nDecimals) {
    AppendFixed(m_text, dValue, nDecimals);
    return *this;
}

CReportWriter& CReportWriter::Escaped(std::string_view text) {
    AppendChecked(m_text, text, kPlainEscaped);
    return *this;
}

CReportWriter& CReportWriter::HtmlText(std::string_view text) {
    AppendChecked(m_text, text, kPlainHtmlText);
    return *this;
}

CReportWriter& CReportWriter::Attribute(std::string_view text) {
    const std::size_t start = m_text.size();
    AppendChecked(m_text, text, kPlainEscaped);
    std::replace_if(
        m_text.begin() + static_cast<std::ptrdiff_t>(start), m_text.end(),
        [](char c) { return c == '\n' || c == '\t'; }, ' ');
    return *this;
}

CReportWriter& CReportWriter::CData(std::string_view text) {
    m_text += "<![CDATA[";
    AppendChecked(m_text, text, kPlainInCData);
    m_text += "]]>";
    return *this;
}

void CReportWriter::Flush() {
    m_out.write(m_text.data(), static_cast<std::streamsize>(m_text.size()));
    m_nFlushed += m_text.size();
    m_text.clear();
}

void CReportWriter::WriteThrough(std::string_view text) {
    Flush();
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    m_nFlushed += text.size();
}

bool CReportSpool::Open(const std::filesystem::path& report, CString& strError) {
    // Beside the report, on the disk it goes to; else in the temporary folder.
    std::error_code ec;
    const std::filesystem::path folder = report.parent_path().empty() ? "." : report.parent_path();
    for (const std::filesystem::path& where : {folder, std::filesystem::temp_directory_path(ec)}) {
        CString strPath = (where / ".tranvex-run-XXXXXX").string();
        const int fd = ::mkstemp(strPath.data());
        if (fd < 0) {
            strError = strPath + ": " + std::strerror(errno);
            continue;
        }
        m_file.open(strPath, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
        ::unlink(strPath.c_str()); // the open file stays until the spool goes
        ::close(fd);
        if (m_file) {
            m_pWriter = std::make_unique<CReportWriter>(m_file);
            return true;
        }
        strError = strPath + ": cannot open";
    }
    return false;
}

bool CReportSpool::CopyTo(CReportWriter& out, const Part& part) {
    if (part.empty())
        return true;
    m_pWriter->Flush();
    CString buffer;
    for (const SRange& range : part) {
        m_file.seekg(static_cast<std::streamoff>(range.nBegin));
        for (std::uint64_t left = range.nEnd - range.nBegin; left > 0 && m_file;) {
            buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, CReportWriter::kBlock)));
            m_file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto nRead = static_cast<std::size_t>(m_file.gcount());
            out.WriteThrough(std::string_view(buffer).substr(0, nRead));
            left -= nRead;
        }
    }
    const bool bRead = static_cast<bool>(m_file);
    m_file.clear();
    m_file.seekp(0, std::ios::end); // writing goes on at the end
    return bRead;
}
