// Tests of CScriptSplitter: headers, the three block kinds, comment regions, blank lines, end of file;
// of its chunked line reader, with chunk edges forced onto every byte position; and of CScriptFile.
#include "script/ScriptFile.h"
#include "script/ScriptSplitter.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Split {
    CStringArray texts;
    CStringArray messages;
    CString unread;
};

Split SplitText(const CString& script, std::size_t chunk = CScriptLineReader::kChunk) {
    std::istringstream file(script);
    Split result;
    CScriptSplitter splitter(
        file, [&](const CString& m) { result.messages.push_back(m); }, chunk);
    splitter.SplitScript(result.texts);
    result.unread = splitter.UnreadLine();
    return result;
}

CStringArray ReaderLines(std::istream& file, std::size_t chunk) {
    CScriptLineReader reader(file, chunk);
    CStringArray lines;
    std::string_view line;
    while (reader.ReadLine(line))
        lines.emplace_back(line);
    EXPECT_FALSE(reader.ReadLine(line)); // stays at the end
    return lines;
}

// The line rule the reader must keep: getline on LF, then one trailing CR dropped.
CStringArray GetlineLines(const CString& text) {
    std::istringstream file(text);
    CStringArray lines;
    for (CString line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
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

TEST(ScriptLines, ReadScriptLineReportsEachEnd) {
    std::istringstream file("a\n\n<!-- x -->\nb");
    int reports = 0;
    CScriptSplitter splitter(file, [&](const CString&) { ++reports; });
    CString line;
    EXPECT_TRUE(splitter.ReadScriptLine(line));
    EXPECT_EQ(line, "a");
    EXPECT_TRUE(splitter.ReadScriptLine(line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(splitter.ReadScriptLine(line));
    EXPECT_FALSE(splitter.ReadScriptLine(line));
    EXPECT_EQ(reports, 2);
}

// Lines are read and searched in chunks: wherever the edges fall, even through a tag, the reader
// gives getline's lines and the splitter the same blocks and messages.
TEST(ScriptLines, ChunkEdgesChangeNothing) {
    const CString longLine(300, 'w'); // longer than the small buffers, so they must grow
    const CString raw = CString("a\r\n\r\n\nb\rc\n\r\r\nd\0e\r\n", 18) + longLine + "\r\n" + longLine + "\nf";
    // The last raw case leaves an old LF in the buffer just past the final short line.
    std::vector<CString> texts = {
        raw, raw + "\r", raw + "\n", raw + "\r\n", CString("\n"), CString(), CString("0123456789\nx")};
    for (std::size_t pad = 0; pad < 40; ++pad) {
        const CString lead(pad, pad % 2 ? 'x' : ' ');
        texts.push_back("<?xml version=\"1.0\"?>\r\n<!-- a\r\n b -->\r\n<TStream>\n" + lead + "<Corvane>\n" +
                        lead + "<A>1</A><!-- gone\n-->\n  \t\r\n" + lead + "</Corvane>\r\n" + lead +
                        "<Admin>" + CString(100, 'x') + "</Admin>\n" + lead + "<Transaction>\n");
        const CStringArray blocks = {Stored(lead + "<Corvane>\r\n" + lead + "</Corvane>\r\n"),
                                     Stored(lead + "<Admin>" + CString(100, 'x') + "</Admin>\r\n")};
        const Split whole = SplitText(texts.back());
        ASSERT_EQ(whole.texts, blocks) << pad;
        EXPECT_EQ(whole.messages, kEof) << pad;
    }
    for (const CString& text : texts) {
        const CStringArray lines = GetlineLines(text);
        const Split whole = SplitText(text);
        for (std::size_t chunk = 1; chunk <= 64; ++chunk) {
            std::istringstream file(text);
            ASSERT_EQ(ReaderLines(file, chunk), lines) << chunk;
            const Split s = SplitText(text, chunk);
            ASSERT_EQ(s.texts, whole.texts) << chunk;
            ASSERT_EQ(s.messages, whole.messages) << chunk;
        }
        std::istringstream file(text);
        EXPECT_EQ(ReaderLines(file, CScriptLineReader::kChunk), lines);
    }
    std::istringstream failed("a\n");
    failed.setstate(std::ios::failbit);
    EXPECT_TRUE(ReaderLines(failed, 4).empty());
}

// Only regular files open (every script the window tests load is one). The FIFO has a reader and writer
// of its own, so a plain open of it would succeed at once rather than hang the test.
TEST(ScriptFile, OnlyRegularFilesOpen) {
    char pattern[] = "/tmp/tranvex-script-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int held = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    for (const std::string& path :
         {fifo, dir, std::string("/dev/zero"), std::string("/dev/null"), dir + "/absent"}) {
        CScriptFile file;
        EXPECT_FALSE(file.Open(path)) << path;
    }
    ::close(held);
    std::filesystem::remove_all(dir);
}
