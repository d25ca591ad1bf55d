// Text helpers the reports share: escaping for XML and HTML, CDATA sections, and the writer that
// gathers a report in large blocks.
#pragma once

#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

// Fixed-point with the given decimals, as printf's "%.<n>f" writes it ("0.012").
void AppendFixed(CString& out, double dValue, int nDecimals);

// Report text, built in memory and handed to the stream a megabyte at a time: the kernel takes one
// large write several times cheaper than many small ones. Escaped text goes straight into the block.
class CReportWriter {
public:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    explicit CReportWriter(std::ostream& out);
    // A part of a report that is written before it can be placed: its blocks stay in memory until
    // a writer to the report's stream splices them in.
    CReportWriter() = default;
    CReportWriter(const CReportWriter&) = delete;
    CReportWriter& operator=(const CReportWriter&) = delete;
    ~CReportWriter() {
        if (m_pOut)
            Flush();
    }

    CReportWriter& operator<<(std::string_view text);
    CReportWriter& operator<<(char c) { return *this << std::string_view(&c, 1); }
    CReportWriter& operator<<(long long n);
    CReportWriter& operator<<(int n) { return *this << static_cast<long long>(n); }
    CReportWriter& operator<<(std::size_t n) { return *this << static_cast<long long>(n); }
    CReportWriter& Fixed(double dValue, int nDecimals);

    // Escapes & < > " ' and keeps the text valid for an XML 1.0 or HTML reader: line ends become LF,
    // other control characters and bytes that are not UTF-8 become U+FFFD.
    CReportWriter& Escaped(std::string_view text);
    // Text of an HTML element, where only & and < need escaping; the same checks otherwise.
    CReportWriter& HtmlText(std::string_view text);
    // Escaped, on one line: line ends and tabs become spaces.
    CReportWriter& Attribute(std::string_view text);
    // An XML CDATA section: the same checks for valid characters, no escaping ("]]>" is split).
    CReportWriter& CData(std::string_view text);

    // Between parts of the report: hands the block on once it is large.
    void Pass() {
        if (m_nSize >= kBlock)
            Flush();
    }
    void Flush();
    // Writes out all of a part made by the default constructor, and empties it.
    void Splice(CReportWriter& part);

private:
    static constexpr std::size_t kFirstCapacity = std::size_t{64} << 10;
    struct SBlock {
        std::unique_ptr<char[]> pData;
        std::size_t nSize;
    };

    // Room for n more bytes at End().
    char* Reserve(std::size_t n);
    char* End() { return m_pData.get() + m_nSize; }
    void CommitTo(const char* end) { m_nSize = static_cast<std::size_t>(end - m_pData.get()); }

    std::ostream* m_pOut = nullptr;  // null for a part kept in memory
    std::unique_ptr<char[]> m_pData; // uninitialised: every byte is written before it is read
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
    std::size_t m_nBlockCapacity = 0; // of the last block kept
    std::vector<SBlock> m_kept;
};
