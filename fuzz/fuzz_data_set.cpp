// libFuzzer target: any bytes as a --data file. A refusal names the file and a line; what reads has
// usable, distinct column names and full rows, and written back as CSV it reads the same again.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>

#include "runner/DataSet.h"
#include "script/ScriptVariables.h"

namespace {

CString Quoted(const CString& field) {
    CString out = "\"";
    for (const char c : field)
        out += c == '"' ? CString("\"\"") : CString(1, c);
    return out + "\"";
}

CString AsCsv(const SDataSet& data) {
    CString text;
    const auto record = [&text](const std::vector<CString>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            text += (i ? "," : "") + Quoted(fields[i]);
        text += "\r\n";
    };
    record(data.columns);
    for (const SDataRow& row : data.rows)
        record(row.fields);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    SDataSet set;
    CString error;
    if (!ReadDataSet(in, "d.csv", set, error)) {
        if (!error.starts_with("d.csv:"))
            std::abort(); // every refusal names the file, and a line when there is one
        return 0;
    }
    if (!error.empty() || set.columns.empty())
        std::abort();
    std::set<CString> names;
    for (const CString& column : set.columns)
        if (!IsVariableName(column) || !names.insert(column).second)
            std::abort();
    int nLine = 1;
    for (const SDataRow& row : set.rows) {
        if (row.fields.size() != set.columns.size() || row.nLine <= nLine)
            std::abort(); // rows start after the header, in file order
        nLine = row.nLine;
    }

    std::istringstream again(AsCsv(set));
    SDataSet reread;
    if (!ReadDataSet(again, "d.csv", reread, error) || reread.columns != set.columns ||
        reread.rows.size() != set.rows.size())
        std::abort();
    for (std::size_t r = 0; r < set.rows.size(); ++r)
        if (reread.rows[r].fields != set.rows[r].fields)
            std::abort();
    return 0;
}
