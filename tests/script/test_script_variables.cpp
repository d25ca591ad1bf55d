// ${NAME} substitution: precedence, escaping, the literal $${, and the errors that name the block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "script/ScriptVariables.h"
#include "xml/XmlDocHelper.h"

namespace {

CScriptVariables Layers() {
    setenv("TVX_TEST_ENV", "env", 1);
    setenv("TVX_TEST_ALL", "env", 1);
    CScriptVariables v;
    v.AddLayer({{"ALL", "option"}, {"TVX_TEST_ALL", "option"}});
    v.AddLayer({{"ALL", "file"}, {"FILEONLY", "file"}});
    v.UseEnvironment(true);
    return v;
}

TEST(ScriptVariables, SubstitutesOrFailsNamingTheVariableAndTheBlock) {
    struct Case {
        const char* text;
        const char* expected; // null: an error containing message
        const char* message;
    } cases[] = {
        {"<A>${ALL}</A>", "<A>option</A>", nullptr},
        {"<A>${FILEONLY}</A>", "<A>file</A>", nullptr},
        {"<A>${TVX_TEST_ENV}${TVX_TEST_ALL}</A>", "<A>envoption</A>", nullptr},
        {"<A>$${ALL} $ $x {y}</A>", "<A>${ALL} $ $x {y}</A>", nullptr},
        {"no reference at all", "no reference at all", nullptr},
        {"<A>${MISSING}</A>", nullptr, "Undefined variable ${MISSING} in block 3 of s.xml"},
        {"<A>${ALL</A>", nullptr, "Unterminated ${ in block 3 of s.xml"},
        {"<A>${}</A>", nullptr, "Bad variable name ${} in block 3 of s.xml"},
        {"<A>${9X}</A>", nullptr, "Bad variable name ${9X}"},
    };
    const CScriptVariables v = Layers();
    for (const Case& c : cases) {
        CString out, error;
        const bool ok = v.Substitute(c.text, "block 3 of s.xml", out, error);
        EXPECT_EQ(ok, c.expected != nullptr) << c.text;
        if (c.expected)
            EXPECT_EQ(out, c.expected) << c.text;
        else
            EXPECT_NE(error.find(c.message), CString::npos) << c.text << " -> " << error;
    }
}

TEST(ScriptVariables, ValuesStayValuesThroughTheXmlParserCrLfIncluded) {
    CScriptVariables v;
    v.AddLayer({{"V", "a<b>&\"c'\r\nd"}});
    CString out, error;
    ASSERT_TRUE(v.Substitute("<?xml version=\"1.0\"?>\r\n<T><M x=\"${V}\">${V}</M></T>", "b", out, error));
    CXmlDocHelper doc;
    ASSERT_TRUE(doc.Load(out)) << out;
    EXPECT_EQ(doc.GetValue("M"), "a<b>&\"c'\r\nd");
}

// A note is text, not XML: its values go in as written, with the same errors.
TEST(ScriptVariables, PlainSubstitutionInsertsValuesAsWritten) {
    CScriptVariables v;
    v.AddLayer({{"S", "a<b & c"}});
    CString out, error;
    ASSERT_TRUE(v.SubstitutePlain("Expect: TextResponse=${S}; $${S}", "the note", out, error));
    EXPECT_EQ(out, "Expect: TextResponse=a<b & c; ${S}");
    EXPECT_FALSE(v.SubstitutePlain("Expect: ${T}", "the note of block 1", out, error));
    EXPECT_EQ(error, "Undefined variable ${T} in the note of block 1");
}

TEST(ScriptVariables, VariablesFileLinesAndTheirErrors) {
    std::istringstream good("# comment\r\n\r\n A = x=1 \r\nB=\n");
    CVariableMap vars;
    CString error;
    ASSERT_TRUE(ReadVariablesFile(good, "v.env", vars, error)) << error;
    EXPECT_EQ(vars["A"], " x=1 ");
    EXPECT_EQ(vars["B"], "");
    std::istringstream bad("A=1\nnot a line\n");
    EXPECT_FALSE(ReadVariablesFile(bad, "v.env", vars, error));
    EXPECT_EQ(error, "v.env:2: not NAME=VALUE");
}

} // namespace
