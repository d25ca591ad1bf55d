// CResponseDataDlg: the colour-coded summary of one administrative response.
#pragma once

#include "controls/ResponseScanner.h"
#include "platform/Dialog.h"

class CResponseDataDlg : public CDialog {
    Q_OBJECT
public:
    explicit CResponseDataDlg(QWidget* pParent = nullptr);
    static const DlgTemplate& DialogTemplate();

    // Scans the response into m_response; a missing part is reported in a message box.
    bool ParseResponse(const CString& strResponse);

    CParsedResponse m_response;
    CStatic m_ctlBanner;
    CString m_strBanner;
    CString m_strOriginLine;
    CString m_strDetailLine;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCtlColor(CCtlColorDC* pDC, QWidget* pWnd, UINT nCtlColor) override;
};
