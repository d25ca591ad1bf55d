// ${NAME} in the window: the request boxes, View XML and Run It show and send the values given by
// TRANVEX_VARS and the environment; a reference that cannot be given is told as a block that does
// not parse is.
#include <cstdlib>

#include "GuiFixture.h"

namespace {

const char* const kScript =
    "<?xml version=\"1.0\"?>\n<TStream>\n"
    "<Transaction><TranCode>${TVX_CODE}</TranCode><RefNo>${TVX_REF}</RefNo>"
    "<Amount><Purchase>${TVX_AMOUNT}</Purchase></Amount><Memo>$${kept}</Memo></Transaction>\n"
    "<Transaction><TranCode>Return</TranCode><RefNo>${TVX_UNSET}</RefNo></Transaction>\n"
    "<Transaction><TranCode>Return</Transaction>\n"
    "</TStream>\n";

class WindowVariablesTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteFile("test.vars",
                  "# the window's variables\nTVX_AMOUNT=12.50\nTVX_REF=A&B<1>\nTVX_CODE=Return\n");
        setenv("TRANVEX_VARS", (m_dir / "test.vars").c_str(), 1);
        setenv("TVX_CODE", "Sale", 1); // the file hides the environment
        setenv("TVX_REF", "from the environment", 1);
        unsetenv("TVX_UNSET");
    }
    void TearDown() override {
        for (const char* name : {"TRANVEX_VARS", "TVX_CODE", "TVX_REF"})
            unsetenv(name);
        WindowTest::TearDown();
    }
    Texts RequestBoxes() {
        Texts boxes;
        for (const int id : {IDC_REQ_TRANCODE, IDC_REQ_REFNO, IDC_REQ_PURCHASE, IDC_REQ_TRANTYPE})
            boxes.push_back(Box(id));
        return boxes;
    }
};

TEST_F(WindowVariablesTest, BoxesViewXmlAndTheSentRequestHoldTheValues) {
    LoadScript(kScript);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(RequestBoxes(), (Texts{"Return", "A&B<1>", "12.50", ""}));
    Click(IDC_VIEW_XML);
    Texts shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("<Transaction><TranCode>Return</TranCode><RefNo>A&amp;B&lt;1&gt;</RefNo>"
                            "<Amount><Purchase>12.50</Purchase></Amount><Memo>${kept}</Memo></Transaction>"),
              std::string::npos)
        << shown[0];
    Click(IDC_TARGET_CLIENT);
    Click(IDC_RUN_IT);
    ASSERT_EQ(m_client->calls.size(), 1u);
    const std::string sent = std::get<std::string>(m_client->calls[0].args.at(0));
    EXPECT_NE(sent.find("<RefNo>A&amp;B&lt;1&gt;</RefNo>"), std::string::npos) << sent;
    EXPECT_NE(sent.find("<Memo>${kept}</Memo>"), std::string::npos) << sent;
    TakeMessages();

    // An undefined variable: its message, as a block that does not parse gives its parser's, and the
    // boxes left as such a block leaves them.
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(TakeMessages(), Texts{"Undefined variable ${TVX_UNSET} in block 2 of TStream.xml"});
    const Texts afterUndefined = RequestBoxes();
    EXPECT_EQ(afterUndefined, (Texts{"Return", "A&B<1>", "12.50", ""})); // no ${ in a box
    Click(IDC_VIEW_XML);
    EXPECT_EQ(TakeMessages(), Texts{"Undefined variable ${TVX_UNSET} in block 2 of TStream.xml"});
    Click(IDC_LOAD_NEXT); // the block that does not parse
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("XML Parse Error"), std::string::npos) << shown[0];
    EXPECT_EQ(RequestBoxes(), afterUndefined);

    // A variables file that cannot be read is told when a block needs it; one without ${ loads.
    setenv("TRANVEX_VARS", (m_dir / "missing.vars").c_str(), 1);
    Click(IDC_LOAD_PREV);
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("TRANVEX_VARS: cannot read the variables file"), std::string::npos) << shown[0];
    Click(IDC_LOAD_NEXT);
    EXPECT_EQ(TakeMessages().size(), 1u); // the parse error again, nothing about the file
}

} // namespace
