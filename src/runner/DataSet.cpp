// Reading a CSV data file into named columns and rows.
#include "runner/DataSet.h"

#include <fstream>
#include <iterator>
#include <set>

#include "script/ScriptVariables.h"

namespace {

class CCsvReader {
public:
    CCsvReader(const CString& text, const CString& strFile) : m_text(text), m_strFile(strFile) {
        if (m_text.starts_with("\xEF\xBB\xBF"))
            m_nPos = 3;
    }

    // The next record; false at the end or on error (strError set).
    bool Next(SDataRow& row, CString& strError) {
        row.fields.clear();
        while (m_nPos < m_text.size() && (m_text[m_nPos] == '\n' || m_text.compare(m_nPos, 2, "\r\n") == 0))
            NewLine(); // empty lines between records
        if (m_nPos >= m_text.size())
            return false;
        row.nLine = m_nLine;
        for (;;) {
            CString field;
            if (!Field(field, strError))
                return false;
            row.fields.push_back(std::move(field));
            if (m_nPos >= m_text.size())
                return true;
            if (m_text[m_nPos] == ',') {
                ++m_nPos;
                continue;
            }
            NewLine(); // Field stops only at ',', a line end or the end
            return true;
        }
    }

private:
    bool AtLineEnd() const {
        return m_text[m_nPos] == '\n' || m_text.compare(m_nPos, 2, "\r\n") == 0;
    }
    void NewLine() {
        m_nPos += m_text[m_nPos] == '\r' ? 2 : 1;
        ++m_nLine;
    }
    bool Fail(int nLine, const CString& what, CString& strError) const {
        strError = m_strFile + ":" + std::to_string(nLine) + ": " + what;
        return false;
    }

    bool Field(CString& field, CString& strError) {
        if (m_nPos < m_text.size() && m_text[m_nPos] == '"') {
            const int nStart = m_nLine;
            ++m_nPos;
            for (;;) {
                if (m_nPos >= m_text.size())
                    return Fail(nStart, "a quoted field is not closed", strError);
                const char c = m_text[m_nPos++];
                if (c == '"') {
                    if (m_nPos < m_text.size() && m_text[m_nPos] == '"') {
                        field += '"';
                        ++m_nPos;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++m_nLine;
                field += c;
            }
            if (m_nPos < m_text.size() && m_text[m_nPos] != ',' && !AtLineEnd())
                return Fail(m_nLine, "text after a closing quote", strError);
            return true;
        }
        while (m_nPos < m_text.size() && m_text[m_nPos] != ',' && !AtLineEnd()) {
            if (m_text[m_nPos] == '"')
                return Fail(m_nLine, "a quote inside a field that does not start with one", strError);
            field += m_text[m_nPos++];
        }
        return true;
    }

    const CString& m_text;
    const CString& m_strFile;
    std::size_t m_nPos = 0;
    int m_nLine = 1;
};

} // namespace

bool ReadDataSet(std::istream& in, const CString& strFile, SDataSet& data, CString& strError) {
    const CString text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        strError = "cannot read " + strFile;
        return false;
    }
    CCsvReader reader(text, strFile);
    SDataRow header;
    if (!reader.Next(header, strError)) {
        if (strError.empty())
            strError = strFile + ": no header line naming the columns";
        return false;
    }
    std::set<CString> seen;
    for (const CString& name : header.fields) {
        const CString where = strFile + ":" + std::to_string(header.nLine) + ": ";
        if (!IsVariableName(name)) {
            strError = where + "column \"" + name + "\" is not a variable name (letters, digits, _)";
            return false;
        }
        if (!seen.insert(name).second) {
            strError = where + "column \"" + name + "\" is named twice";
            return false;
        }
    }
    data.columns = std::move(header.fields);
    for (SDataRow row; reader.Next(row, strError);) {
        if (row.fields.size() != data.columns.size()) {
            strError = strFile + ":" + std::to_string(row.nLine) + ": " + std::to_string(row.fields.size()) +
                       " fields where the header has " + std::to_string(data.columns.size());
            return false;
        }
        data.rows.push_back(std::move(row));
    }
    return strError.empty();
}

bool ReadDataSet(const CString& strFile, SDataSet& data, CString& strError) {
    std::ifstream in(strFile, std::ios::binary);
    if (!in) {
        strError = "cannot read the data file " + strFile;
        return false;
    }
    return ReadDataSet(in, strFile, data, strError);
}
