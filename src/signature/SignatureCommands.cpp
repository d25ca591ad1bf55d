// ViewLastSign: the last response's signature drawn into the file "dummy" and shown.
#include "app/TranvexDlg.h"
#include "platform/MessageBox.h"
#include "signature/BitmapCanvas.h"
#include "signature/SignatureDlg.h"

void CTranvexDlg::OnViewLastSign() {
    const CString file = "dummy";
    if (!WriteSignatureBitmap(m_strLastResponse, file,
                              [](const CString& message) { AfxMessageBox(message); }))
        return;
    CSignatureDlg dlg;
    dlg.m_strFile = file;
    dlg.DoModal();
}
