// ViewLastSign and the picture box; the editor buttons with a stub editor named by TRANVEX_EDITOR.
#include <QImage>
#include <QTimer>
#include <cstdlib>
#include <optional>

#include "GuiFixture.h"
#include "signature/SignatureDlg.h"

namespace {

bool AllWhite(const QImage& image) {
    QImage white(image.size(), image.format());
    white.fill(Qt::white);
    return !image.isNull() && image == white;
}

class SignatureTest : public WindowTest {
protected:
    // Presses ViewLastSign and returns what the Signature dialog's picture box showed, if it was shown.
    std::optional<QImage> ViewLastSign() {
        std::optional<QImage> shot;
        CDialog::ModalHookGuard hook([&](CDialog& shown) {
            EXPECT_EQ(shown.windowTitle(), "Signature ");
            shot = shown.GetDlgItem(IDC_SIGNATURE_PICTURE)->grab().toImage();
            return IDOK;
        });
        Click(IDC_VIEW_LAST_SIGN);
        return shot;
    }
};

// Stretched over the whole box: its dark pixels lie on strokes of the file, and there are many.
TEST_F(SignatureTest, ASignatureIsShownStretchedOverTheBox) {
    m_dlg->m_strLastResponse = "<R><Signature>10,10:200,100:#,#:10,100:200,10:</Signature></R>";
    const std::optional<QImage> shot = ViewLastSign();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(m_messages.empty());
    const QImage file("dummy", "BMP");
    ASSERT_FALSE(file.isNull());
    const auto IsDark = [](QColor colour) { return colour.lightness() < 128; };
    int dark = 0;
    for (int y = 0; y < shot->height(); ++y)
        for (int x = 0; x < shot->width(); ++x) {
            if (!IsDark(shot->pixelColor(x, y)))
                continue;
            ++dark;
            const QPoint at(x * file.width() / shot->width(), y * file.height() / shot->height());
            bool onStroke = false;
            for (const QPoint near : {QPoint(0, 0), QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1),
                                      QPoint(1, 1), QPoint(1, -1), QPoint(-1, 1), QPoint(-1, -1)})
                onStroke |= file.valid(at + near) && IsDark(file.pixelColor(at + near));
            ASSERT_TRUE(onStroke) << x << "," << y;
        }
    EXPECT_GT(dark, 100);
}

// No signature: no dialog. A file that cannot be made: the message, then the dialog, white. A file
// that is missing or no bitmap: a white picture.
TEST_F(SignatureTest, PictureIsOnlyWhiteWithoutABitmapFile) {
    m_dlg->m_strLastResponse = "<R><Signature></Signature></R>"; // which have one: the signature tests
    EXPECT_FALSE(ViewLastSign());
    std::filesystem::create_directory("dummy");
    m_dlg->m_strLastResponse = "<R><Signature>1,1:30,20:</Signature></R>";
    const std::optional<QImage> shot = ViewLastSign();
    EXPECT_TRUE(shot && AllWhite(*shot));
    EXPECT_EQ(m_messages, Texts{"Couldn't open dest file: Is a directory"});

    QImage(8, 8, QImage::Format_RGB32).save("picture.png", "PNG");
    WriteFile("text", "BM is not enough");
    for (const char* file : {"", "missing", "text", "picture.png"}) {
        CSignatureDlg dlg;
        dlg.m_strFile = file;
        dlg.OnInitDialog();
        EXPECT_TRUE(AllWhite(dlg.GetDlgItem(IDC_SIGNATURE_PICTURE)->grab().toImage())) << file;
    }
}

const char* const kTwoBlocks =
    "<?xml version=\"1.0\"?>\n<TStream>\n<Transaction>\n<RefNo>1</RefNo>\n"
    "</Transaction>\n<Transaction>\n<RefNo>2</RefNo>\n</Transaction>\n</TStream>\n";

using EditorTest = WindowTest;

// The window takes no input while the editor runs; the path reaches it as one absolute argument,
// and only Edit and Reload reloads (the stub adds a block).
TEST_F(EditorTest, StubEditorGetsThePathAsOneAbsoluteArgument) {
    UseStubEditor(
        "sed -i 's#^</TStream>#<Transaction>\\n<RefNo>added</RefNo>\\n</Transaction>\\n</TStream>#' \"$a\"");
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

// An editor that is not there, or none set and none on PATH: each button's own message, no reload.
TEST_F(EditorTest, NoEditorGivesEachButtonsOwnMessage) {
    LoadScript(kTwoBlocks);
    m_dlg->OnLoadNext();
    const std::string path = std::getenv("PATH");
    setenv("PATH", m_dir.c_str(), 1);
    for (auto [button, message] : {std::pair{IDC_EDIT_AND_RELOAD, "Create Failed Looking for 'Notepad.EXE'"},
                                   std::pair{IDC_OPEN_IN_EDITOR, "Create Failed Looking for 'NotePad.EXE'"}})
        for (bool none : {false, true}) {
            none ? unsetenv("TRANVEX_EDITOR") : setenv("TRANVEX_EDITOR", "/no/such/editor", 1);
            Click(button);
            EXPECT_EQ(TakeMessages(), Texts{message});
            EXPECT_EQ(m_dlg->m_nCurrent, 1); // nothing reloaded
        }
    setenv("PATH", path.c_str(), 1);
}

} // namespace
