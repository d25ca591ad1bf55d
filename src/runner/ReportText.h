// Text helpers the reports share: escaping for XML and HTML, CDATA sections, the writer that
// gathers a report in large blocks, and the spool that keeps parts of a report until their place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string_view>
#include <vector>

#include "platform/MfcTypes.h"

// Now, local time, as the reports and summaries say when a run began: "2026-12-08 09:16:02".
CString LocalTimeNow();

// Fixed-point with the given decimals, as printf's "%.<n>f" writes it ("0.012").
void AppendFixed(CString& out, double dValue, int nDecimals);

// Report text, gathered in a string and handed to the stream once a block of it has built up at a
// pause between parts (Pass) and at the end.
class CReportWriter {
public:
    static constexpr std::size_t kBlock = std::size_t{1} << 20;

    explicit CReportWriter(std::ostream& out);
    CReportWriter(const CReportWriter&) = delete;
    CReportWriter& operator=(const CReportWriter&) = delete;
    ~CReportWriter() { Flush(); }

    CReportWriter& operator<<(std::string_view text) {
        m_text += text;
        return *this;
    }
    CReportWriter& operator<<(char c) {
        m_text += c;
        return *this;
    }
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

    // Between parts of the report: hands the text on once it is large.
    void Pass() {
        if (m_text.size() >= kBlock)
            Flush();
    }
    void Flush();
    // A text copied whole (a spooled part): what is gathered goes first, then the text straight on.
    void WriteThrough(std::string_view text);
    // Bytes written through this writer so far, flushed or not.
    std::uint64_t Position() const { return m_nFlushed + m_text.size(); }

private:
    std::ostream& m_out;
    CString m_text;
    std::uint64_t m_nFlushed = 0;
};

// Parts of a report written before their place in it is known (a script's test cases come after its
// counts, the transactions after the totals): they go to an unnamed file beside the report as the
// run goes, so that a run of any length keeps little of its reports in memory, and are copied into
// the report at the end, in the order the report asks for. Each part is a list of ranges, so that
// parts written in turns still come out whole.
class CReportSpool {
public:
    struct SRange {
        std::uint64_t nBegin = 0, nEnd = 0;
    };
    using Part = std::vector<SRange>;

    // The file is made in the folder of report; false, with the reason in strError, when it cannot be.
    bool Open(const std::filesystem::path& report, CString& strError);
    // write(writer) adds to the part, which grows by what was written.
    template <typename Write> void AddTo(Part& part, Write write) {
        const std::uint64_t begin = m_pWriter->Position();
        write(*m_pWriter);
        if (!part.empty() && part.back().nEnd == begin)
            part.back().nEnd = m_pWriter->Position();
        else
            part.push_back({begin, m_pWriter->Position()});
        m_pWriter->Pass();
    }
    // Copies the part into out; false when the spool could not be written or read back.
    bool CopyTo(CReportWriter& out, const Part& part);

private:
    std::fstream m_file;
    std::unique_ptr<CReportWriter> m_pWriter;
};
