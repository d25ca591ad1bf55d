// CAboutDlg: the About box.
#pragma once

#include "platform/Dialog.h"

class CAboutDlg : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
    static const DlgTemplate& DialogTemplate();
};
