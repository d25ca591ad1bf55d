// Text helpers the reports share: escaping for XML and HTML, CDATA sections, and the writer that
// gathers a report in large blocks.
#pragma once

#include <ostream>
#include <string_view>

#include "platform/MfcTypes.h"

// Escapes & < > " ' and keeps the text valid for an XML 1.0 or HTML reader: line ends become LF,
// other control characters and bytes that are not UTF-8 become U+FFFD.
void AppendEscaped(CString& out, std::string_view text);

// Text as an XML CDATA section: the same checks for valid characters, no escaping ("]]>" is split).
void AppendCData(CString& out, std::string_view text);

// Fixed-point with the given decimals, as printf's "%.<n>f" writes it ("0.012").
void AppendFixed(CString& out, double dValue, int nDecimals);

// Report text, built in memory and handed to the stream a megabyte at a time: the kernel takes one
// large write several times cheaper than many small ones. Escaped text goes straight into the block.
class CReportWriter {
public:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    explicit CReportWriter(std::ostream& out);
    CReportWriter(const CReportWriter&) = delete;
    CReportWriter& operator=(const CReportWriter&) = delete;
    ~CReportWriter() { Flush(); }

    CReportWriter& operator<<(std::string_view text) {
        m_block.append(text);
        return *this;
    }
    CReportWriter& operator<<(char c) {
        m_block += c;
        return *this;
    }
    CReportWriter& operator<<(long long n);
    CReportWriter& operator<<(int n) { return *this << static_cast<long long>(n); }
    CReportWriter& operator<<(std::size_t n) { return *this << static_cast<long long>(n); }

    CReportWriter& Escaped(std::string_view text) {
        AppendEscaped(m_block, text);
        return *this;
    }
    // Escaped, on one line: line ends and tabs become spaces.
    CReportWriter& Attribute(std::string_view text);
    CReportWriter& CData(std::string_view text) {
        AppendCData(m_block, text);
        return *this;
    }
    CReportWriter& Fixed(double dValue, int nDecimals) {
        AppendFixed(m_block, dValue, nDecimals);
        return *this;
    }

    // Between parts of the report: hands the block on once it is large.
    void Pass() {
        if (m_block.size() >= kBlock)
            Flush();
    }
    void Flush();

private:
    std::ostream& m_out;
    CString m_block;
};
