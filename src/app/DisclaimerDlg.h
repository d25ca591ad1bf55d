// CDisclaimerDlg: the disclaimer the operator must accept before the main window opens.
#pragma once

#include "platform/Dialog.h"

class CDisclaimerDlg : public CDialog {
    Q_OBJECT
public:
    explicit CDisclaimerDlg(QWidget* pParent = nullptr);
    static const DlgTemplate& DialogTemplate();
    static const char* const DisclaimerText;

    CString m_strText;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
};
