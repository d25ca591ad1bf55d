// Start-up: the disclaimer must be accepted before the main window runs.
#include "app/TranvexApp.h"

#include "app/DisclaimerDlg.h"
#include "app/TranvexDlg.h"

BOOL CTranvexApp::InitInstance() {
    // Component hosting needs no switching on here: the registry is always ready.
    CDisclaimerDlg disclaimer;
    disclaimer.m_strText = CDisclaimerDlg::DisclaimerText;
    if (disclaimer.DoModal() != IDOK)
        return FALSE; // quietly: no window, no log

    CTranvexDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
