// Data exchange between a dialog's members and its controls, by control ID.
#pragma once

#include "platform/DlgTemplate.h"
#include "platform/MfcTypes.h"

class CDialog;
class CWnd;

// The state of one data exchange: which way values go.
struct CDataExchange {
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate; // true: screen to members
    bool m_bFail = false;
    int m_nLastControl = IDC_STATIC; // the control DDV_ routines apply to
};

void DDX_Text(CDataExchange* pDX, int nID, CString& value);
void DDX_Check(CDataExchange* pDX, int nID, BOOL& value);
void DDX_Control(CDataExchange* pDX, int nID, CWnd& control);
// At most nChars characters, counted as the box counts them (not bytes).
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
