// ViewLastSign on the real window and the simulated device; the picture box; the editor buttons with
// a stub editor named by TRANVEX_EDITOR.
#include <QAbstractButton>
#include <QImage>
#include <QTimer>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>

#include "GuiFixture.h"
#include "res/resource.h"
#include "signature/SignatureDlg.h"

namespace {

bool IsDark(QColor colour) {
    return colour.lightness() < 128;
}

// Presses ViewLastSign and returns what the Signature dialog's picture box showed, if it was shown.
std::optional<QImage> ViewLastSign(CTranvexDlg& dlg) {
    std::optional<QImage> shot;
    CDialog::ModalHookGuard hook([&](CDialog& shown) {
        EXPECT_EQ(shown.windowTitle(), "Signature ");
        shot = shown.GetDlgItem(IDC_SIGNATURE_PICTURE)->grab().toImage();
        return IDOK;
    });
    qobject_cast<QAbstractButton*>(dlg.GetDlgItem(IDC_VIEW_LAST_SIGN))->click();
    return shot;
}

class SimSignatureTest : public GuiFixture {
protected:
    void RegisterComponents() override { setenv("TRANVEX_COMPONENT_PATH", TRANVEX_COMPONENT_DIR, 1); }
};

TEST_F(SimSignatureTest, SignedSaleOnTheDeviceShowsItsStrokes) {
    MakeWindow();
    LoadScript(R"(<?xml version="1.0"?>
<TStream>
<Transaction><MerchantID>880012345678</MerchantID><TranType>Credit</TranType><TranCode>Sale</TranCode>
<InvoiceNo>1</InvoiceNo><RefNo>1</RefNo><Account><AcctNo>6011000990139424</AcctNo><ExpDate>0326</ExpDate>
</Account><Amount><Purchase>18.75</Purchase></Amount><SignatureRequested>Yes</SignatureRequested>
</Transaction>
</TStream>
)");
    Click(IDC_TARGET_DEVICE);
    m_dlg->OnRunIt();
    const std::optional<QImage> shot = ViewLastSign(*m_dlg);
    ASSERT_TRUE(shot) << m_dlg->m_strLastResponse;
    EXPECT_TRUE(m_messages.empty());

    const QImage file("dummy", "BMP");
    ASSERT_FALSE(file.isNull());

    // Stretched over the whole box: its dark pixels lie on strokes of the file, and there are many.
    int dark = 0;
    for (int y = 0; y < shot->height(); ++y)
        for (int x = 0; x < shot->width(); ++x) {
            if (!IsDark(shot->pixelColor(x, y)))
                continue;
            ++dark;
            const QPoint at(x * file.width() / shot->width(), y * file.height() / shot->height());
            bool onStroke = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    onStroke |=
                        file.valid(at + QPoint(dx, dy)) && IsDark(file.pixelColor(at + QPoint(dx, dy)));
            ASSERT_TRUE(onStroke) << x << "," << y;
        }
    EXPECT_GT(dark, 100);
}

bool AllWhite(const QImage& image) {
    QImage white(image.size(), image.format());
    white.fill(Qt::white);
    return !image.isNull() && image == white;
}

TEST_F(GuiFixture, PictureIsOnlyWhiteWithoutABitmapFile) {
    MakeWindow();
    for (const char* response : {"", "<R><Signature></Signature></R>", "<R><Signature>1,2:</R>"}) {
        m_dlg->m_strLastResponse = response;
        EXPECT_FALSE(ViewLastSign(*m_dlg)) << response;
    }
    // The file cannot be made: the message, then the dialog all the same.
    std::filesystem::create_directory("dummy");
    m_dlg->m_strLastResponse = "<R><Signature>1,1:30,20:</Signature></R>";
    const std::optional<QImage> shot = ViewLastSign(*m_dlg);
    EXPECT_TRUE(shot && AllWhite(*shot));
    EXPECT_EQ(m_messages, std::vector<std::string>{"Couldn't open dest file: Is a directory"});

    QImage(8, 8, QImage::Format_RGB32).save("picture.png", "PNG");
    WriteFile("text", "BM is not enough");
    for (const char* file : {"", "missing", "text", "picture.png"}) {
        CSignatureDlg dlg;
        dlg.m_strFile = file;
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.m_picture.m_bmInfo, QSize(0, 0)) << file;
        EXPECT_TRUE(AllWhite(dlg.GetDlgItem(IDC_SIGNATURE_PICTURE)->grab().toImage())) << file;
    }
}

// Saves and restores the variables the editor is found by.
class EditorTest : public GuiFixture {
protected:
    void SetUp() override {
        GuiFixture::SetUp();
        for (const char* name : {"TRANVEX_EDITOR", "PATH"})
            if (const char* value = std::getenv(name))
                m_saved.emplace_back(name, value);
        MakeWindow();
    }
    void TearDown() override {
        unsetenv("TRANVEX_EDITOR");
        for (auto& [name, value] : m_saved)
            setenv(name.c_str(), value.c_str(), 1);
        GuiFixture::TearDown();
    }
    // An editor that records its arguments, waits for the test to release it, and adds a block.
    void UseStubEditor() {
        WriteFile(
            "editor",
            "#!/bin/sh\n"
            "dir=$(dirname \"$0\")\n"
            "for a; do printf '%s\\n' \"$a\"; done > \"$dir/args\"\n"
            "n=0; while [ ! -e \"$dir/release\" ] && [ $n -lt 3000 ]; do sleep 0.01; n=$((n+1)); done\n"
            "sed -i 's#^</TStream>#<Transaction>\\n<RefNo>added</RefNo>\\n</Transaction>\\n</TStream>#' "
            "\"$a\"\n");
        chmod((m_dir / "editor").c_str(), 0755);
        setenv("TRANVEX_EDITOR", (m_dir / "editor").c_str(), 1);
    }
    std::vector<std::pair<std::string, std::string>> m_saved;
};

const char* const kTwoBlocks =
    "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction>\n<RefNo>1</RefNo>\n"
    "</Transaction>\n<Transaction>\n<RefNo>2</RefNo>\n</Transaction>\n</TStream>\n";

TEST_F(EditorTest, StubEditorGetsThePathAsOneAbsoluteArgument) {
    UseStubEditor();
    const struct {
        const char* file;
        int button;
        std::size_t transactions; // after the editor has added one
    } cases[] = {
        {"TStream.xml", IDC_EDIT_AND_RELOAD, 3},
        {"my script; echo x.xml", IDC_OPEN_IN_EDITOR, 2},
        {"-n.xml", IDC_OPEN_IN_EDITOR, 2}, // reaches the editor as a file, not an option
    };
    for (const auto& c : cases) {
        WriteFile(c.file, kTwoBlocks);
        m_dlg->m_strXmlPath = c.file; // relative, as typed
        m_dlg->OnReloadFile();
        m_dlg->OnLoadNext();
        std::optional<bool> enabledDuringWait;
        QTimer::singleShot(0, m_dlg.get(), [&] {
            enabledDuringWait = m_dlg->isEnabled();
            WriteFile("release", "");
        });
        Click(c.button);
        std::filesystem::remove(m_dir / "release");

        EXPECT_EQ(enabledDuringWait, false) << c.file; // the loop ran, and the window took no input
        EXPECT_TRUE(m_dlg->isEnabled());
        EXPECT_EQ(ReadFile(m_dir / "args"), (m_dir / c.file).string() + "\n");
        EXPECT_EQ(m_dlg->m_arrTransactions.size(), c.transactions) << c.file;
        EXPECT_EQ(m_dlg->m_nCurrent, c.transactions == 3 ? 0 : 1) << c.file;
        EXPECT_NE(ReadFile(m_dir / c.file).find("added"), std::string::npos);
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(EditorTest, NoEditorGivesEachButtonsOwnMessage) {
    LoadScript(kTwoBlocks);
    m_dlg->OnLoadNext();
    const struct {
        const char* editor; // nullptr: none set, and none on PATH
        int button;
        const char* message;
    } cases[] = {
        {"/no/such/editor", IDC_EDIT_AND_RELOAD, "Create Failed Looking for 'Notepad.EXE'"},
        {nullptr, IDC_EDIT_AND_RELOAD, "Create Failed Looking for 'Notepad.EXE'"},
        {"/no/such/editor", IDC_OPEN_IN_EDITOR, "Create Failed Looking for 'NotePad.EXE'"},
        {nullptr, IDC_OPEN_IN_EDITOR, "Create Failed Looking for 'NotePad.EXE'"},
    };
    setenv("PATH", m_dir.c_str(), 1);
    for (const auto& c : cases) {
        m_messages.clear();
        if (c.editor)
            setenv("TRANVEX_EDITOR", c.editor, 1);
        else
            unsetenv("TRANVEX_EDITOR");
        Click(c.button);
        EXPECT_EQ(m_messages, std::vector<std::string>{c.message});
        EXPECT_EQ(m_dlg->m_nCurrent, 1); // nothing reloaded
    }
}

} // namespace
