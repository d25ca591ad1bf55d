// A data file for tranvex-run --data: CSV as RFC 4180 has it, the first record naming the columns.
#pragma once

#include <istream>
#include <vector>

#include "platform/MfcTypes.h"

struct SDataRow {
    int nLine = 0; // the file's line where the record starts, from 1
    std::vector<CString> fields;
};

struct SDataSet {
    std::vector<CString> columns;
    std::vector<SDataRow> rows;
};

// Fields are separated by ',' and records by LF or CR LF; a field in double quotes may hold commas,
// line breaks and "" for one quote. A UTF-8 byte order mark at the start and empty lines between
// records are skipped. False with a message naming the line on: a record whose field count is not
// the header's, an unfinished quote, text after a closing quote, a quote inside an unquoted field,
// a header with an empty, repeated or unusable column name (columns become variables), or no header.
bool ReadDataSet(std::istream& in, const CString& strFile, SDataSet& data, CString& strError);
bool ReadDataSet(const CString& strFile, SDataSet& data, CString& strError);
