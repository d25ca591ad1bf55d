// The Signature dialog and its picture box.
#include "signature/SignatureDlg.h"

#include <QPainter>

#include "res/resource.h"

void CPictureBox::LoadBitmapFile(CString path) {
    m_strPath = std::move(path);
    QImage loaded;
    // Only a BMP file counts, whatever else the name might point at.
    if (!m_strPath.empty() && loaded.load(QString::fromStdString(m_strPath), "BMP"))
        m_bitmap = std::move(loaded);
    m_bmInfo = m_bitmap.size();
    Invalidate();
}

bool CPictureBox::OnPaint(QPainter& dc) {
    dc.fillRect(dc.window(), Qt::white);
    if (!m_strPath.empty() && !m_bitmap.isNull())
        DrawBitmap(dc);
    return true;
}

void CPictureBox::DrawBitmap(QPainter& dc) {
    // The whole bitmap over the whole control; its proportions are not kept.
    dc.drawImage(dc.window().normalized(), m_bitmap, QRect(QPoint(0, 0), m_bmInfo));
}

const DlgTemplate& CSignatureDlg::DialogTemplate() {
    static const DlgTemplate dlg{IDD_SIGNATURE,
                                 "Signature ",
                                 "MS Sans Serif",
                                 8,
                                 347,
                                 124,
                                 {
                                     {IDOK, DlgKind::PushButton, "OK", 17, 103, 50, 14, DS_DEFAULT},
                                     {IDCANCEL, DlgKind::PushButton, "Cancel", 290, 103, 50, 14, DS_NONE},
                                     {IDC_SIGNATURE_PICTURE, DlgKind::Picture, "", 13, 7, 302, 47, DS_NONE,
                                      DlgFont::Dialog, CLR_DEFAULT, RGB(255, 255, 255)},
                                 }};
    return dlg;
}

CSignatureDlg::CSignatureDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent) {}

CSignatureDlg::~CSignatureDlg() = default;

void CSignatureDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_SIGNATURE_PICTURE, m_picture);
}

BOOL CSignatureDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_picture.LoadBitmapFile(m_strFile);
    return TRUE;
}
