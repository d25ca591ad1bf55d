// CTranvexApp: the process's start-up: disclaimer, then the main window, then the end.
#pragma once

#include "platform/MfcTypes.h"

class CDialog;

class CTranvexApp {
public:
    // Always FALSE: the process ends when it returns.
    BOOL InitInstance();

    CDialog* m_pMainWnd = nullptr;
};
