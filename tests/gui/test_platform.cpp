// The template table's per-control font and colours, OnCtlColor, and painting taken over by CStatic.
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>

#include "platform/Dialog.h"

namespace {

constexpr int kBanner = 10, kPicture = 11;

const DlgTemplate& TestTemplate() {
    static const DlgTemplate dlg{
        900, "Colours", "MS Sans Serif", 8, 100, 60,
        {
            {kBanner, DlgKind::Label, "banner", 5, 5, 90, 10, DS_CENTER, DlgFont::SystemFixed},
            {kPicture, DlgKind::Picture, "", 5, 20, 40, 20, DS_NONE, DlgFont::Dialog, CLR_DEFAULT,
             RGB(255, 255, 255)},
            {IDOK, DlgKind::PushButton, "OK", 50, 40, 40, 14, DS_DEFAULT},
        }};
    return dlg;
}

// Paints its whole control black, so a grab shows whether painting reached it.
class CBlackBox : public CStatic {
public:
    bool OnPaint(QPainter& dc) override {
        dc.fillRect(dc.window(), Qt::black);
        return true;
    }
};

class CColourDlg : public CDialog {
public:
    CColourDlg() : CDialog(TestTemplate()) {}
    COLORREF m_statics = RGB(255, 0, 0);
    CBlackBox m_box;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, kPicture, m_box); }
    void OnCtlColor(CCtlColorDC* pDC, QWidget*, UINT nCtlColor) override {
        if (nCtlColor == CTLCOLOR_STATIC)
            pDC->SetTextColor(m_statics);
    }
};

QColor TextColour(QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

TEST(PlatformTest, TemplateFontColoursAndPaintingReachTheirControls) {
    CColourDlg dlg;
    QWidget* banner = dlg.GetDlgItem(kBanner);
    EXPECT_TRUE(QFontInfo(banner->font()).fixedPitch());
    EXPECT_FALSE(QFontInfo(dlg.GetDlgItem(IDOK)->font()).fixedPitch());

    QWidget* picture = dlg.GetDlgItem(kPicture);
    EXPECT_TRUE(picture->autoFillBackground());
    EXPECT_EQ(picture->palette().color(QPalette::Window), QColor(255, 255, 255));

    // Colours are asked for when the dialog runs, after its initialisation; buttons keep theirs.
    const QColor buttonBefore = TextColour(dlg.GetDlgItem(IDOK));
    CDialog::ModalHookGuard hook([](CDialog&) { return IDOK; });
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 0, 255)}) {
        dlg.m_statics = colour;
        dlg.DoModal();
        EXPECT_EQ(TextColour(banner), QColor(colour & 0xFF, (colour >> 8) & 0xFF, colour >> 16));
        EXPECT_EQ(TextColour(dlg.GetDlgItem(IDOK)), buttonBefore);
    }

    // Bound by DDX_Control, the picture's painting goes to CBlackBox::OnPaint.
    const QImage shot = picture->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(Qt::black));
}

} // namespace
