// CResultsDlg: a read-only text shown whole, such as the device list.
#pragma once

#include "platform/Dialog.h"

class CResultsDlg : public CDialog {
    Q_OBJECT
public:
    explicit CResultsDlg(QWidget* pParent = nullptr);
    static const DlgTemplate& DialogTemplate();

    CString m_strResults;

    void DoDataExchange(CDataExchange* pDX) override;
};
