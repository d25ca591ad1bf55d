// The About box: icon, version and the maker's notice.
#include "app/AboutDlg.h"

#include "app/AppIcon.h"
#include "res/Version.h"
#include "res/resource.h"

// The icon static shows the icon of the window the box is made over (the main window's: the
// application icon); the resource path in its caption only names it.
const DlgTemplate& CAboutDlg::DialogTemplate() {
    static const DlgTemplate dlg{
        IDD_ABOUTBOX, "About Tranvex", "MS Sans Serif", 8, 235, 55,
        {
            {IDC_STATIC, DlgKind::Icon, APP_ICON_PATH, 11, 17, 20, 20, DS_NONE},
            {IDC_STATIC, DlgKind::Label, TRANVEX_ABOUT_VERSION_TEXT, 40, 10, 119, 8, DS_NONE},
            {IDC_STATIC, DlgKind::Label, "Payment transaction test harness.\r\nFor sanctioned test use only.",
             51, 23, 119, 23, DS_NONE},
            {IDOK, DlgKind::PushButton, "OK", 178, 7, 50, 14, DS_DEFAULT},
        }};
    return dlg;
}

CAboutDlg::CAboutDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent) { setWindowIcon(AppIcon()); }
