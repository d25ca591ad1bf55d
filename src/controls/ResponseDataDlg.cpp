// The Response Data dialog: banner, origin and detail lines, blue for success and red otherwise.
#include "controls/ResponseDataDlg.h"

#include <QLabel>

#include "platform/MessageBox.h"
#include "res/resource.h"

const DlgTemplate& CResponseDataDlg::DialogTemplate() {
    using K = DlgKind;
    constexpr unsigned kLine = DS_CENTER | DS_BORDER;
    static const DlgTemplate dlg{
        IDD_RESPONSE_DATA,
        "Response Data",
        "MS Sans Serif",
        8,
        247,
        150,
        {
            {IDC_RESPONSE_FRAME, K::GroupBox, "", 5, 2, 235, 111, DS_NONE},
            {IDC_RESPONSE_BANNER, K::Label, "", 71, 16, 105, 11, kLine, DlgFont::SystemFixed},
            {IDC_RESPONSE_ORIGIN, K::Label, "", 13, 44, 219, 11, kLine},
            {IDC_RESPONSE_DETAIL, K::Label, "", 13, 67, 219, 39, kLine},
            {IDOK, K::PushButton, "&OK", 98, 121, 52, 22, DS_NONE},
            {IDCANCEL, K::PushButton, "&Abort", 179, 121, 52, 22, DS_NONE},
        }};
    return dlg;
}

CResponseDataDlg::CResponseDataDlg(QWidget* pParent) : CDialog(DialogTemplate(), pParent) {}

bool CResponseDataDlg::ParseResponse(const CString& strResponse) {
    return ScanResponse(strResponse, m_response, [](const CString& message) { AfxMessageBox(message); });
}

void CResponseDataDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RESPONSE_BANNER, m_ctlBanner);
    DDX_Text(pDX, IDC_RESPONSE_BANNER, m_strBanner);
    DDX_Text(pDX, IDC_RESPONSE_ORIGIN, m_strOriginLine);
    DDX_Text(pDX, IDC_RESPONSE_DETAIL, m_strDetailLine);
}

BOOL CResponseDataDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    const CParsedResponse& r = m_response;
    // Success is tested first: a record with both flags set shows as a success.
    if (r.m_bSuccess)
        m_strBanner = r.m_bTranResponse ? "* APPROVED *" : "* SUCCESS *";
    else
        m_strBanner = r.m_bError ? "*** ERROR ***" : "* DECLINED *";
    m_strOriginLine = "Response Origin = " + r.m_strResponseOrigin;
    if (r.m_bSuccess && r.m_bTranResponse)
        m_strDetailLine =
            "AuthCode: " + r.m_strAuthCode + "   RefNo: " + r.m_strRefNo + "   " + r.m_strCaptureStatus;
    else
        m_strDetailLine = "TextResponse = " + r.m_strTextResponse;

    UpdateData(FALSE);
    // A long detail, such as the results of a whole server list, runs past the line: all of it shows
    // as the line's tip, and it can be selected and copied.
    if (auto* detail = qobject_cast<QLabel*>(GetDlgItem(IDC_RESPONSE_DETAIL))) {
        detail->setToolTip(Qt::convertFromPlainText(detail->text()));
        detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    return TRUE;
}

void CResponseDataDlg::OnOK() {
    CDialog::OnOK();
}

void CResponseDataDlg::OnCancel() {
    CDialog::OnCancel();
}

void CResponseDataDlg::OnCtlColor(CCtlColorDC* pDC, QWidget* pWnd, UINT nCtlColor) {
    CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
    if (nCtlColor == CTLCOLOR_STATIC)
        pDC->SetTextColor(m_response.m_bSuccess ? RGB(0, 0, 255) : RGB(255, 0, 0));
}
