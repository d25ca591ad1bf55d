// Tests of CScriptSplitter: headers, the three block kinds, comment regions, blank lines, end of file,
// the notes it keeps for the runner; and of CScriptFile.
#include "script/ScriptFile.h"
#include "script/ScriptSplitter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "TestSupport.h"

namespace {

struct Split {
    CStringArray texts;
    CStringArray messages;
    CString unread;
};

Split SplitText(const CString& script) {
    std::istringstream file(script);
    Split result;
    CScriptSplitter splitter(file, [&](const CString& m) { result.messages.push_back(m); });
    splitter.SplitScript(result.texts);
    result.unread = splitter.UnreadLine();
    return result;
}

const CString kHead = "<?xml version=\"1.0\"?>\r\n<TStream>\r\n";
const CStringArray kNone;
const CStringArray kEof = {"Premature End-of-File"};

CString Stored(const CString& body) {
    return kHead + body + "</TStream>";
}

} // namespace

// Which lines open and close a block, and which are skipped: comment regions as whole lines, blank lines
// everywhere, anything after the stream.
TEST(ScriptBlocks, StoredBlocksFollowTheLineRules) {
    const struct {
        CString script;
        CStringArray blocks;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<TStream>\n"
         "  <Transaction>\n    <RefNo>1</RefNo>\n  </Transaction>\n"
         "\n"
         "  <Admin><Cmd>Ping</Cmd></Admin>\n"
         "  <Corvane>\n  </Corvane>\n"
         "</TStream>\n"
         "  <Transaction>after the stream</Transaction>\n",
         {Stored("  <Transaction>\r\n    <RefNo>1</RefNo>\r\n  </Transaction>\r\n"),
          Stored("  <Admin><Cmd>Ping</Cmd></Admin>\r\n"), Stored("  <Corvane>\r\n  </Corvane>\r\n")}},
        // Any closing tag ends any block.
        {"<?xml version=\"1.0\"?>\n<TStream>\n<Admin>\n<A>1</A>\n</Transaction>\n"
         "<Transaction>\n</Corvane>\n</TStream>\n",
         {Stored("<Admin>\r\n<A>1</A>\r\n</Transaction>\r\n"), Stored("<Transaction>\r\n</Corvane>\r\n")}},
        // An opening tag with an attribute opens no block.
        {"<?xml version=\"1.0\"?>\n<TStream>\n<Transaction id=\"1\">\n<A/>\n</Transaction>\n", {}},
        {"<!-- before the declaration -->\n<?xml version=\"1.0\"?>\n"
         "<!-- between\n the headers -->\n<TStream>\n"
         "<Transaction>\n"
         "  <RefNo>1</RefNo> <!-- same line -->\n"
         "  <A>2</A>\n"
         "  <B>3</B><!-- opens\n  <C>lost</C>\n closes --> <D>lost too</D>\n"
         "\n<!-- a second region right after -->\n"
         "</Transaction>\n</TStream>\n",
         {Stored("<Transaction>\r\n  <A>2</A>\r\n</Transaction>\r\n")}},
        {"<?xml version=\"1.0\"?>\n \t\n<TStream>\n<Transaction>\n\t\t\n</Transaction>\n"
         "    \n<Transaction>\n<B/>\n</Transaction>\n</TStream>\n",
         {Stored("<Transaction>\r\n</Transaction>\r\n"),
          Stored("<Transaction>\r\n<B/>\r\n</Transaction>\r\n")}},
        // CR LF line ends read as LF ones; a CR inside a line is kept.
        {"<?xml version=\"1.0\"?>\r\n<TStream>\r\n<Transaction>\r\n<A>x\r</A>\r\n</Transaction>\r\n"
         "</TStream>",
         {Stored("<Transaction>\r\n<A>x\r</A>\r\n</Transaction>\r\n")}},
    };
    for (const auto& c : cases) {
        const Split s = SplitText(c.script);
        EXPECT_EQ(s.messages, kNone) << c.script;
        EXPECT_EQ(s.texts, c.blocks) << c.script;
    }
}

TEST(ScriptHeaders, Errors) {
    EXPECT_EQ(SplitText("<TStream>\n<Transaction>\n</Transaction>\n").messages,
              CStringArray{"No ?xml version at top of file"});
    EXPECT_EQ(SplitText("<?xml version=\"1.0\"?><TStream>\n<Transaction>\n</Transaction>\n").messages,
              CStringArray{"No <TStream> in XML"});
    EXPECT_EQ(SplitText("<?XML version=\"1.0\"?>\n<TStream>\n").messages,
              CStringArray{"No ?xml version at top of file"});
    for (const char* script :
         {"", "\n\n", "<!-- c -->\n", "<?xml version=\"1.0\"?>\n", "<?xml version=\"1.0\"?>\n<TStream>\n",
          "<!-- never closed\n<?xml version=\"1.0\"?>\n"}) {
        const Split s = SplitText(script);
        EXPECT_EQ(s.messages, kEof) << script;
        EXPECT_TRUE(s.texts.empty()) << script;
    }
}

TEST(ScriptEndOfFile, PrematureEndKeepsFinishedBlocks) {
    const CString two =
        "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction>\n</Transaction>\n<Admin>\n</Admin>\n";
    // What was left unread: nothing but a missing </TStream>, or an unfinished block.
    const std::pair<CString, CString> tails[] = {
        {"", ""}, {"<Corvane>\n<A>1</A>\n", "<Corvane>"}, {"<Corvane>\n<!-- open\n", "<Corvane>"}};
    for (const auto& [tail, unread] : tails) {
        const Split s = SplitText(two + tail);
        EXPECT_EQ(s.messages, kEof) << tail;
        ASSERT_EQ(s.texts.size(), 2u) << tail;
        EXPECT_EQ(s.texts[1], Stored("<Admin>\r\n</Admin>\r\n"));
        EXPECT_EQ(s.unread, unread);
    }
    // A line that opens no block ends the scan, and only </TStream> ends it with nothing left.
    EXPECT_EQ(SplitText(two + "</TStream>\n<Transction>\n").unread, "");
    EXPECT_EQ(SplitText(two + "<Transction>\n<Admin>\n</Admin>\n</TStream>\n").unread, "<Transction>");
}

// Lines end at LF with one CR before it dropped; any other CR, and a NUL, stays in the line; blank
// lines and comment regions are skipped. The file is read in chunks: lines of every length across
// several chunk edges, and one longer than a chunk, come out whole. Each read past the end reports.
TEST(ScriptLines, ReadScriptLineAcrossChunkEdgesAndAtTheEnd) {
    CString text;
    CStringArray expected;
    for (std::size_t n = 0; text.size() < 3 * CScriptSplitter::kChunk; n = (n + 37) % 401) {
        CString line(n, static_cast<char>('a' + n % 26));
        if (n % 3 == 0)
            line.push_back('\r');
        text += line + "\n";
        if (n > 0)
            expected.push_back(line.substr(0, n));
    }
    expected.emplace_back(CScriptSplitter::kChunk + 5, 'L');
    const char tail[] = "\na\r\n\n<!-- x -->\nb\rc\n\r\r\nd\0e";
    text += expected.back() + CString(tail, sizeof tail - 1);
    expected.insert(expected.end(), {"a", "b\rc", "\r", CString("d\0e", 3)});
    std::istringstream file(text);
    int reports = 0;
    CScriptSplitter splitter(file, [&](const CString&) { ++reports; });
    CStringArray lines;
    for (CString line; splitter.ReadScriptLine(line);)
        lines.push_back(line);
    EXPECT_EQ(lines, expected);
    CString line;
    EXPECT_FALSE(splitter.ReadScriptLine(line));
    EXPECT_EQ(reports, 2);
}

// Each stored block gets the comment directly before it (not one inside a block or commented out with
// the line it shares), the tag that opened it, and the file's line of each of its stored lines.
TEST(ScriptNotes, EachStoredBlockGetsItsCommentKindAndFileLines) {
    std::istringstream script("<!-- before the header -->\n"                                       // 1
                              "<?xml version=\"1.0\"?>\n<TStream>\n"                               // 2, 3
                              "<!-- first\n\n  Expect: Approved -->\n\n"                           // 4-7
                              "<Transaction>\n<!-- inside: not a note -->\n<A/>\n</Transaction>\n" // 8-11
                              " \t\n<Admin></Admin>\n"                                             // 12, 13
                              "<!-- stale --><Corvane>\n"                                          // 14
                              "<!-- third -->\r\n<Corvane><Admin>\n<T>E</T></Admin>\n"             // 15-17
                              "<Admin id=\"x\">\n<!-- after the scan -->\n<Admin>\n</Admin>\n");
    CStringArray stored, plain;
    std::vector<SBlockNote> notes;
    CScriptSplitter(script, [](const CString&) {}).SplitScript(stored, notes);
    script.clear();
    script.seekg(0);
    CScriptSplitter(script, [](const CString&) {}).SplitScript(plain);
    EXPECT_EQ(plain, stored);
    // Each note as comment|kind|file lines.
    std::string seen;
    for (const SBlockNote& note : notes) {
        seen += note.strComment + "|" + note.strKind + "|";
        for (const int line : note.arrFileLines)
            seen += std::to_string(line) + " ";
        seen += "\n";
    }
    EXPECT_EQ(seen, " first\n  Expect: Approved |Transaction|2 3 8 10 11 \n"
                    "|Admin|2 3 13 \n third |Corvane|2 3 16 17 \n");
    ASSERT_EQ(stored.size(), 3u);
    ASSERT_EQ(notes.size(), 3u);
    // The added "</TStream>" (and past it) counts as the closing line.
    EXPECT_EQ(notes[0].FileLine(4), 10);
    EXPECT_EQ(notes[0].FileLine(6), 11);
    EXPECT_EQ(notes[0].FileLine(9), 11);
}

// Only regular files open (a missing one: the window's tests). The FIFO has a reader and writer of its
// own, so a plain open of it would succeed at once rather than hang the test.
TEST(ScriptFile, OnlyRegularFilesOpen) {
    const tvxtest::CTempDir dir;
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int held = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    for (const std::string& path : {fifo, dir.Path().string(), std::string("/dev/zero")})
        EXPECT_FALSE(CScriptFile().Open(path)) << path;
    ::close(held);
}
