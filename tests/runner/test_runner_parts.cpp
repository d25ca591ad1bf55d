// The runner's parts on their own: Expect notes, note titles, masking, known-good comparison, options.
#include <gtest/gtest.h>

#include <sstream>

#include "runner/CardMasking.h"
#include "runner/ExpectNote.h"
#include "runner/KnownGood.h"
#include "runner/RunnerOptions.h"
#include "runner/ScriptNotes.h"
#include "xml/XmlDocHelper.h"

namespace {

const char kResponse[] =
    "<RStream><CmdResponse><CmdStatus>Declined</CmdStatus><TextResponse>DECLINE</TextResponse>"
    "<Empty></Empty></CmdResponse><TranResponse><AuthCode>A1B2</AuthCode></TranResponse></RStream>";

struct CheckCase {
    const char* note;
    bool passed;
    const char* field;
    const char* actual;
};

TEST(ExpectNoteTest, EachKindOfCheckPassesAndFailsAndNotesSplitIntoChecks) {
    const CheckCase cases[] = {
        {"Expect: Declined", true, "CmdStatus", "\"Declined\""},
        {"Expect: TextResponse=DECLINE", true, "TextResponse", "\"DECLINE\""},
        {"Expect: TextResponse = DECLINED", false, "TextResponse", "\"DECLINE\""},
        {"Expect: Missing=", false, "Missing", "(absent)"},
        {"Expect: AuthCode~^A[0-9]", true, "AuthCode", "\"A1B2\""},
        {"Expect: AuthCode~^B", false, "AuthCode", "\"A1B2\""},
        {"Expect: AuthCode=*", true, "AuthCode", "\"A1B2\""},
        {"Expect: Empty=*", false, "Empty", "\"\""},
        {"Expect: Missing=*", false, "Missing", "(absent)"},
        {"Expect: !Missing", true, "Missing", "(absent)"},
        {"Expect: !AuthCode", false, "AuthCode", "\"A1B2\""},
        {"Expect: AuthCode~([", false, "Expect", "AuthCode~(["},
        {"Expect: 2bad=x", false, "Expect", "2bad=x"},
    };
    CXmlDocHelper response;
    ASSERT_TRUE(response.Load(kResponse));
    for (const CheckCase& c : cases) {
        const SExpectNote note = ParseExpectNote(c.note);
        ASSERT_EQ(note.checks.size() + note.errors.size(), 1u) << c.note;
        const SCheckResult result =
            note.errors.empty() ? EvaluateCheck(note.checks[0], response) : note.errors[0];
        EXPECT_EQ(result.bPassed, c.passed) << c.note;
        EXPECT_EQ(result.strField, c.field) << c.note;
        EXPECT_EQ(result.strActual, c.actual) << c.note;
    }
    // Checks run from the marker to the end of the comment, split at semicolons and line ends.
    const SExpectNote note = ParseExpectNote(" 3. A sale. Expect: Approved; AuthCode=*\n  !Balance; ");
    EXPECT_EQ(note.checks.size(), 3u);
    EXPECT_TRUE(note.errors.empty());
    EXPECT_TRUE(ParseExpectNote("A note that expects nothing").checks.empty());
    EXPECT_EQ(NoteTitle("\n  3. A sale. Expect: Approved\nmore"), "3. A sale.");
}

TEST(CardMaskingTest, AccountNumbersTrackDataAndVerificationValues) {
    const struct {
        const char* text;
        const char* masked;
    } cases[] = {
        {"<AcctNo>4111111111111111</AcctNo>", "<AcctNo>411111XXXXXX1111</AcctNo>"},
        {"<AcctNo>371449635398431</AcctNo>", "<AcctNo>371449XXXXX8431</AcctNo>"},
        {"<AcctNo>123456789012</AcctNo>", "<AcctNo>XXXXXXXX9012</AcctNo>"}, // too short to keep the start
        {"<AcctNo>XXXX1111</AcctNo>", "<AcctNo>XXXX1111</AcctNo>"},
        {"<Track2>;5454545454545454=28121010000012300000?</Track2>", "<Track2>[masked]</Track2>"},
        {"<CVV>123</CVV><CVV/>", "<CVV>[masked]</CVV><CVV/>"},
        {"card 5454545454545454 declined", "card 545454XXXXXX5454 declined"},
        {"Invalid Track2 ;4111111111111111=2812101? here", "Invalid Track2 ;[masked] here"},
        {"%B4111111111111111^DOE/JOHN Q^2812101? x", "%B[masked] x"},
        {"<ProcessData>|00|718577725527</ProcessData> 1234567890123", // no check digit: not a card
         "<ProcessData>|00|718577725527</ProcessData> 1234567890123"},
    };
    const CCardMasker mask;
    for (const auto& c : cases)
        EXPECT_EQ(mask(c.text), c.masked) << c.text;
}

TEST(KnownGoodTest, LeavesAreComparedByPathTextAndPresence) {
    const char kStored[] = "<R><C><Status>Approved</Status><Code>A1</Code></C><Item>1</Item><Item>2</Item>"
                           "<Sig><P>1,2</P></Sig></R>";
    const struct {
        const char* actual;
        std::set<CString> ignored;
        std::vector<CString> paths;
    } cases[] = {
        {kStored, {}, {}},
        {"<R>\n "
         "<C><Status>Approved</Status><Code>A2</Code></C><Item>1</Item><Item>3</Item><Sig><P>9</P></Sig></R>",
         {},
         {"/R/C/Code", "/R/Item[2]", "/R/Sig/P"}},
        {"<R><C><Status>Approved</Status></C><Item>1</Item><Item>2</Item><Sig><P>1,2</P></Sig><New/></R>",
         {},
         {"/R/C/Code", "/R/New"}},
        {"<R><C><Status>Approved</Status><Code>B</Code></C><Item>1</Item><Item>2</Item></R>",
         {"Code", "Sig"},
         {}},
        {"not xml", {}, {"/"}},
    };
    for (const auto& c : cases) {
        std::vector<CString> paths;
        for (const SDifference& d : CompareAnswers(kStored, c.actual, c.ignored))
            paths.push_back(d.strPath);
        EXPECT_EQ(paths, c.paths) << c.actual;
    }
    const std::vector<SDifference> one = CompareAnswers(kStored, cases[2].actual, {});
    EXPECT_EQ(one[0].strExpected, "A1");
    EXPECT_EQ(one[0].strActual, "(absent)");
    // A stored answer nested far deeper than any call stack holds is walked all the same.
    std::string open, close;
    for (int i = 0; i < 60000; ++i)
        open += "<a>", close += "</a>";
    EXPECT_EQ(CompareAnswers(open + close, kStored, {}).size(), 6u); // its one leaf, the other's five
}

TEST(RunnerOptionsTest, ValuesAndUsageErrors) {
    SRunnerOptions options;
    CString error;
    ASSERT_TRUE(ParseRunnerOptions({"--target=device", "--ignore", "AuthCode,RecordNo", "--ignore=Sig",
                                    "--no-mask", "--junit", "j.xml", "a.xml", "--", "--b.xml"},
                                   options, error))
        << error;
    EXPECT_EQ(options.target, ETarget::Device);
    EXPECT_EQ(options.ignored, (std::set<CString>{"AuthCode", "RecordNo", "Sig"}));
    EXPECT_EQ(options.scripts, (std::vector<CString>{"a.xml", "--b.xml"}));

    for (const std::vector<CString>& bad : std::vector<std::vector<CString>>{
             {}, {"--record"}, {"--frobnicate", "a.xml"}, {"--no-log=1", "a.xml"}}) {
        SRunnerOptions rejected;
        EXPECT_FALSE(ParseRunnerOptions(bad, rejected, error)) << (bad.empty() ? "" : bad[0]);
    }
}

} // namespace
