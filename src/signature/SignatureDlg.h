// CSignatureDlg shows a bitmap file in CPictureBox, which paints it stretched over a white control.
#pragma once

#include <QImage>

#include "platform/Dialog.h"

class CPictureBox : public CStatic {
public:
    // Keeps the file's bitmap when it loads as one; otherwise keeps what it had.
    void LoadBitmapFile(CString path);
    bool OnPaint(QPainter& dc) override;
    void DrawBitmap(QPainter& dc);

    CString m_strPath;
    QImage m_bitmap;
    QSize m_bmInfo{0, 0}; // the size of m_bitmap; zero while none is held
};

class CSignatureDlg : public CDialog {
    Q_OBJECT
public:
    explicit CSignatureDlg(QWidget* pParent = nullptr);
    ~CSignatureDlg() override;
    static const DlgTemplate& DialogTemplate();

    CString m_strFile;
    CPictureBox m_picture;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};
