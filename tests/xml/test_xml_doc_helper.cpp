// Tests of CXmlDocHelper: loading, the fixed-layout writer, element lookup and the error record.
#include "xml/XmlDocHelper.h"

#include <gtest/gtest.h>

namespace {

const char* const kNoDoc = "Failed - No XML Document Loaded!";
const char* const kNoDocFr = "Échoué - Aucun Document XML chargé !";
const CString kDeclaration = "<?xml version=\"1.0\"?>\r\n";

CString Written(CXmlDocHelper& doc) {
    CString out;
    EXPECT_TRUE(doc.GetXml(out));
    return out;
}

void ExpectError(const CXmlDocHelper& doc, const CString& en, const CString& fr) {
    const CXmlDocError e = doc.GetError();
    EXPECT_EQ(e.m_nCode, XML_ERROR_FAILED);
    EXPECT_EQ(e.m_strMessage, en);
    EXPECT_EQ(e.m_strMessageFr, fr);
}

} // namespace

// The error names the one-based line and the reason; text without a single document element is one.
TEST(XmlLoad, ParseErrorNamesOneBasedLineAndReason) {
    CXmlDocHelper doc;
    EXPECT_FALSE(doc.Load("<a>\n<b>\n</c></a>"));
    ExpectError(doc, "XML Parse Error at line#:3\r\nStart-end tags mismatch",
                "Erreur d’analyse XML à la ligne numéro:3\r\nStart-end tags mismatch");
    // A later success keeps the record of the failure.
    EXPECT_TRUE(doc.Load("<a/>"));
    EXPECT_EQ(doc.GetError().m_strMessage, "XML Parse Error at line#:3\r\nStart-end tags mismatch");

    const std::pair<CString, const char*> cases[] = {
        {"", "1\r\nNo document element found"},
        {"<!-- only -->\n", "2\r\nNo document element found"},
        {"<a/>\n<b/>", "2\r\nMore than one document element"},
        {"<a/>\ntail", "2\r\nText outside the document element"},
        {"lead<a/>", "1\r\nText outside the document element"},
        {"<a/><![CDATA[x]]>", "1\r\nText outside the document element"},
        {CString("<a/>\0<b/>", 9), "1\r\nNull character in document"},
    };
    for (const auto& [xml, message] : cases) {
        EXPECT_FALSE(doc.Load(xml)) << xml;
        EXPECT_EQ(doc.GetError().m_strMessage, CString("XML Parse Error at line#:") + message) << xml;
    }
}

TEST(XmlLoad, FailedParseLeavesLoadedEmptyDocument) {
    CXmlDocHelper doc;
    ASSERT_TRUE(doc.Load("<old><x>1</x></old>"));
    // pugixml keeps the part read before the fault; none of it may survive.
    EXPECT_FALSE(doc.Load("<a><b>kept?</b><c>"));
    EXPECT_TRUE(doc.IsLoaded()); // writing just the declaration: the window's Run It test
    EXPECT_FALSE(doc.HasElement("b"));
    EXPECT_FALSE(doc.HasElement("x"));
    EXPECT_FALSE(doc.AddElement("a", "n", "v"));
    ExpectError(doc, "Parent NOT found!", "Parent non trouvé!");
}

// One element a line, indented by tabs, CR LF ends, a declaration without an encoding; only elements
// and text are kept.
TEST(XmlWriter, RequestLayout) {
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<r>\n  <a><b><c>1</c></b></a>\n</r>\n",
         "<r>\r\n\t<a>\r\n\t\t<b>\r\n\t\t\t<c>1</c>\r\n\t\t</b>\r\n\t</a>\r\n</r>\r\n"},
        {"<r>text</r>", "<r>text</r>\r\n"},
        {"<r><e/><f></f></r>", "<r>\r\n\t<e></e>\r\n\t<f></f>\r\n</r>\r\n"},
        // Text after the first child stays inline; bytes are not re-encoded.
        {"<r>x<e>y</e>z</r>", "<r>x\r\n\t<e>y</e>z</r>\r\n"},
        {"<r>caf\xC3\xA9 \xE9</r>", "<r>caf\xC3\xA9 \xE9</r>\r\n"},
        {"<!DOCTYPE r><!--c--><?pi x?><r id=\"1\"><a k='v'>t<![CDATA[cd]]><!--in--></a>"
         "<?pi y?></r><!--after-->",
         "<r>\r\n\t<a>t</a>\r\n</r>\r\n"},
        // A comment or CDATA as first child is not text: the closing tag goes on its own line.
        {"<r><a><!--c-->t</a></r>", "<r>\r\n\t<a>t\r\n\t</a>\r\n</r>\r\n"},
        {"<r><![CDATA[x]]></r>", "<r>\r\n</r>\r\n"},
    };
    for (const auto& [xml, written] : cases) {
        CXmlDocHelper doc;
        EXPECT_TRUE(doc.Load(xml)) << doc.GetError().m_strMessage;
        EXPECT_EQ(Written(doc), kDeclaration + written);
    }
}

// A value that looks like markup comes back as the same value, not as new elements.
TEST(XmlWriter, EscapesMarkupCharactersInText) {
    CXmlDocHelper doc;
    ASSERT_TRUE(doc.Load("<r><RefNo>A&amp;B &lt;&gt;</RefNo></r>"));
    EXPECT_EQ(doc.GetValue("RefNo"), "A&B <>");
    EXPECT_NE(Written(doc).find("<RefNo>A&amp;B &lt;&gt;</RefNo>"), CString::npos);

    const CString injected = "</RefNo><Purchase>9999</Purchase><RefNo>";
    ASSERT_TRUE(doc.SetValue("RefNo", injected));
    ASSERT_TRUE(doc.AddElement("r", "Memo", injected));
    const CString first = Written(doc);
    CXmlDocHelper again;
    ASSERT_TRUE(again.Load(first)) << again.GetError().m_strMessage;
    EXPECT_EQ(again.GetValue("RefNo"), injected);
    EXPECT_EQ(again.GetValue("Memo"), injected);
    EXPECT_FALSE(again.HasElement("Purchase"));
    EXPECT_EQ(Written(again), first);
}

TEST(XmlLookup, FirstElementOfExactName) {
    CXmlDocHelper doc;
    // First in document order, not the shallowest.
    ASSERT_TRUE(doc.Load("<r><t><RefNo>1</RefNo></t><RefNo>2</RefNo>"
                         "<Amount><Purchase>1.00</Purchase><Gratuity>0.50</Gratuity></Amount></r>"));
    EXPECT_EQ(doc.GetValue("RefNo"), "1");
    EXPECT_EQ(doc.GetValue("refno"), "");
    EXPECT_EQ(doc.GetValue("Amount"), "1.000.50");
    EXPECT_NE(doc.GetValue("r"), ""); // the document element is searched too
    // Not a query language: such names are plain names and simply not found.
    EXPECT_FALSE(doc.HasElement("t/RefNo"));
    EXPECT_FALSE(doc.HasElement("RefNo[2]"));

    ASSERT_TRUE(doc.SetValue("RefNo", "9"));
    EXPECT_EQ(doc.GetValue("t"), "9");
    EXPECT_EQ(doc.GetValue("r"), "921.000.50");
}

TEST(XmlLookup, ReadValueIncludesCdataAndEmptyDiffersFromMissingOnlyInRecord) {
    CXmlDocHelper doc;
    ASSERT_TRUE(doc.Load("<r><a>x<![CDATA[<y>]]><b>z</b></a><e/></r>"));
    CString out = "stale";
    EXPECT_TRUE(doc.ReadValue("a", out));
    EXPECT_EQ(out, "x<y>z");
    EXPECT_TRUE(doc.ReadValue("e", out));
    EXPECT_EQ(out, "");
    EXPECT_EQ(doc.GetError().m_nCode, XML_ERROR_NOT_SET);

    const CString longName(3000, 'N');
    EXPECT_EQ(doc.GetValue(longName), "");
    ExpectError(doc, longName + " Not Found in XML Document.",
                longName + " non trouvé dans le document XML.");
    EXPECT_FALSE(doc.SetValue("Missing", "v"));
    EXPECT_EQ(doc.GetError().m_strMessage, "Missing Not Found in XML Document.");
    EXPECT_FALSE(doc.HasElement("Missing2"));
    EXPECT_EQ(doc.GetError().m_strMessage, "Missing Not Found in XML Document.");
}

TEST(XmlLookup, AddElementAppendsUnderFirstParent) {
    CXmlDocHelper doc;
    ASSERT_TRUE(doc.Load("<r><T><a>1</a></T><T></T></r>"));
    EXPECT_TRUE(doc.AddElement("T", "Tip", "0.25"));
    EXPECT_TRUE(doc.AddElement("T", "Tip", "0.50"));
    EXPECT_EQ(Written(doc), kDeclaration + "<r>\r\n\t<T>\r\n\t\t<a>1</a>\r\n\t\t<Tip>0.25</Tip>\r\n"
                                           "\t\t<Tip>0.50</Tip>\r\n\t</T>\r\n\t<T></T>\r\n</r>\r\n");
}

TEST(XmlErrors, InitialRecordAndNoDocument) {
    CXmlDocHelper doc;
    const CXmlDocError initial = doc.GetError();
    EXPECT_EQ(initial.m_nCode, XML_ERROR_NOT_SET);
    EXPECT_EQ(initial.m_strMessage, "Error Unknown/Not Set");
    EXPECT_EQ(initial.m_strMessageFr, "Error Unknown/Not Set");
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.HasElement("a"));
    ExpectError(doc, kNoDoc, kNoDocFr);

    CString out = "untouched";
    EXPECT_FALSE(doc.GetXml(out));
    EXPECT_FALSE(doc.ReadValue("a", out));
    EXPECT_EQ(out, "untouched");
    EXPECT_EQ(doc.GetValue("a"), "");
    EXPECT_FALSE(doc.SetValue("a", "b"));
    EXPECT_FALSE(doc.AddElement("a", "b", "c"));
    ExpectError(doc, kNoDoc, kNoDocFr);

    ASSERT_TRUE(doc.Load("<a/>"));
    doc.Close();
    EXPECT_FALSE(doc.GetXml(out));
}
