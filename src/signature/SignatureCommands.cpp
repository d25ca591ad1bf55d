// ViewLastSign: the last response's signature drawn into the file "dummy" and shown.
#include "app/TranvexDlg.h"
#include "platform/MessageBox.h"
#include "signature/BitmapCanvas.h"
#include "signature/SignatureDlg.h"

void CTranvexDlg::OnViewLastSign() {
    const CString file = "dummy";
    CBitmapCanvas canvas([](const CString& message) { AfxMessageBox(message); });
    if (!WriteSignatureBitmap(m_strLastResponse, canvas, file))
        return;
    CSignatureDlg dlg;
    dlg.m_strFile = file;
    dlg.DoModal();
}
