// The CSV reader behind --data: quoting, line breaks in quotes, and the errors naming their line.
#include <gtest/gtest.h>

#include <sstream>

#include "runner/DataSet.h"

namespace {

TEST(DataSet, ReadsQuotedFieldsAndNamesTheLineOfABrokenRow) {
    struct Case {
        const char* text;
        std::vector<std::vector<CString>> rows; // when no error
        const char* error;                      // null: reads
    } cases[] = {
        {"a,b\r\n1,2\r\n", {{"1", "2"}}, nullptr},
        {"\xEF\xBB\xBF" "a,b\n\"x,y\",\"say \"\"hi\"\"\"\n\n\"l1\r\nl2\",\n", {{"x,y", "say \"hi\""}, {"l1\r\nl2", ""}},
         nullptr},
        {"a,b\n1,2\n\"3\n4\",5,6\n", {}, "d.csv:3: 3 fields where the header has 2"},
        {"a,b\n1,\"2\n", {}, "d.csv:2: a quoted field is not closed"},
        {"a,b\n1,\"2\"x\n", {}, "d.csv:2: text after a closing quote"},
        {"a,b\n1,2\"\n", {}, "d.csv:2: a quote inside a field"},
        {"a,a\n", {}, "d.csv:1: column \"a\" is named twice"},
        {"a,b c\n", {}, "is not a variable name"},
        {"", {}, "d.csv: no header line"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        SDataSet data;
        CString error;
        const bool ok = ReadDataSet(in, "d.csv", data, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.text << " -> " << error;
        if (!c.error) {
            ASSERT_EQ(data.rows.size(), c.rows.size()) << c.text;
            for (std::size_t i = 0; i < c.rows.size(); ++i)
                EXPECT_EQ(data.rows[i].fields, c.rows[i]) << c.text;
        } else {
            EXPECT_NE(error.find(c.error), CString::npos) << error;
        }
    }
}

} // namespace
