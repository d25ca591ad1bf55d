// The main window's script commands: Browse/Load, Re-Load, Load Next/Prev, the request boxes and the
// seven copy-back buttons.
#include <filesystem>

#include "app/TranvexDlg.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "res/resource.h"
#include "script/ScriptFile.h"
#include "script/ScriptSplitter.h"

namespace {

struct RequestField {
    const char* pszElement;
    int nBox;
};

// The nine request boxes, in the order they are filled and cleared.
constexpr RequestField kRequestFields[] = {
    {"RefNo", IDC_REQ_REFNO},          {"AuthCode", IDC_REQ_AUTHCODE},       {"Purchase", IDC_REQ_PURCHASE},
    {"Gratuity", IDC_REQ_GRATUITY},    {"TranType", IDC_REQ_TRANTYPE},       {"TranCode", IDC_REQ_TRANCODE},
    {"AcqRefData", IDC_REQ_ACQREFDATA}, {"ProcessData", IDC_REQ_PROCESSDATA}, {"RecordNo", IDC_REQ_RECORDNO},
};

} // namespace

void CTranvexDlg::OnBrowseLoad() {
    std::error_code ec;
    const std::filesystem::path savedDirectory = std::filesystem::current_path(ec);

    CFileDialog dlg(true, nullptr, "TStream.xml", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    "XML Document (*.xml)|*.xml||", nullptr);
    if (dlg.DoModal() == IDOK) {
        UpdateData(TRUE);
        m_strXmlPath = dlg.GetPathName();
        UpdateData(FALSE);
    }

    // The log directory and the default script path are relative to the working directory.
    if (!savedDirectory.empty())
        std::filesystem::current_path(savedDirectory, ec);

    OnReloadFile();
}

void CTranvexDlg::OnReloadFile() {
    m_arrTransactions.clear();
    ShowRequestFields(true);

    {
        CScriptFile file;
        if (!file.Open(m_strXmlPath)) {
            AfxMessageBox("Unable to open file for reading.");
            return;
        }
        SplitScript(file.Stream());
    } // closed here

    OnLoadNext();
}

void CTranvexDlg::SplitScript(std::istream& file) {
    m_nCurrent = -1;
    CScriptSplitter splitter(file, [](const CString& message) { AfxMessageBox(message); });
    splitter.SplitScript(m_arrTransactions);
}

void CTranvexDlg::OnLoadNext() {
    ++m_nCurrent;
    if (m_nCurrent > static_cast<int>(m_arrTransactions.size()) - 1) {
        --m_nCurrent;
        AfxMessageBox("No Next Transaction");
        return;
    }
    LoadCurrentTransaction();
}

void CTranvexDlg::OnLoadPrev() {
    if (m_arrTransactions.empty() || m_nCurrent <= 0) {
        AfxMessageBox("No Previous Transaction.");
        return;
    }
    --m_nCurrent;
    LoadCurrentTransaction();
}

void CTranvexDlg::LoadCurrentTransaction() {
    if (m_xmlRequest.Load(m_arrTransactions[m_nCurrent]))
        ShowRequestFields(false);
    else
        AfxMessageBox(m_xmlRequest.GetError().m_strMessage);
}

void CTranvexDlg::ShowRequestFields(bool bClear) {
    for (const RequestField& field : kRequestFields)
        SetDlgItemText(field.nBox, bClear ? CString() : m_xmlRequest.GetValue(field.pszElement));
}

void CTranvexDlg::CopyBoxText(int nFrom, int nTo) { SetDlgItemText(nTo, GetDlgItemText(nFrom)); }

void CTranvexDlg::OnCopyRefNo() { CopyBoxText(IDC_RESP_REFNO, IDC_REQ_REFNO); }
void CTranvexDlg::OnCopyAuthCode() { CopyBoxText(IDC_RESP_AUTHCODE, IDC_REQ_AUTHCODE); }
void CTranvexDlg::OnCopyPurchase() { CopyBoxText(IDC_RESP_PURCHASE, IDC_REQ_PURCHASE); }
void CTranvexDlg::OnCopyAuthorize() { CopyBoxText(IDC_RESP_AUTHORIZE, IDC_REQ_PURCHASE); }
void CTranvexDlg::OnCopyAcqRefData() { CopyBoxText(IDC_RESP_ACQREFDATA, IDC_REQ_ACQREFDATA); }
void CTranvexDlg::OnCopyProcessData() { CopyBoxText(IDC_RESP_PROCESSDATA, IDC_REQ_PROCESSDATA); }
void CTranvexDlg::OnCopyRecordNo() { CopyBoxText(IDC_RESP_RECORDNO, IDC_REQ_RECORDNO); }
