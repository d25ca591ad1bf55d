// The main window's script commands: Browse/Load, Re-Load, Load Next/Prev, the request boxes and the
// seven copy-back buttons.
#include <filesystem>

#include "app/TranvexDlg.h"
#include "controls/TransactionFields.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "script/ScriptFile.h"
#include "script/ScriptSplitter.h"
#include "script/ScriptVariables.h"

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
    // A block whose variables cannot all be given is shown as a block that does not parse: the
    // message, and a request left empty so that nothing half-filled can be sent.
    CString strText, strError;
    if (!ExpandWindowBlock(m_arrTransactions[m_nCurrent], m_nCurrent + 1, m_strXmlPath, strText, strError)) {
        m_xmlRequest.Load(CString());
        AfxMessageBox(strError);
        return;
    }
    if (m_xmlRequest.Load(strText))
        ShowRequestFields(false);
    else
        AfxMessageBox(m_xmlRequest.GetError().m_strMessage);
}

void CTranvexDlg::ShowRequestFields(bool bClear) {
    for (const STransactionField& field : kTransactionFields)
        if (field.nRequestBox)
            SetDlgItemText(field.nRequestBox, bClear ? CString() : m_xmlRequest.GetValue(field.pszElement));
}

// A copy-back button: one field's response box into a request box, the field's own but for
// Authorize, which goes into Purchase.
void CTranvexDlg::CopyBack(std::string_view from, std::string_view to) {
    SetDlgItemText(Field(to).nRequestBox, GetDlgItemText(Field(from).nResponseBox));
}

void CTranvexDlg::OnCopyRefNo() {
    CopyBack("RefNo", "RefNo");
}
void CTranvexDlg::OnCopyAuthCode() {
    CopyBack("AuthCode", "AuthCode");
}
void CTranvexDlg::OnCopyPurchase() {
    CopyBack("Purchase", "Purchase");
}
void CTranvexDlg::OnCopyAuthorize() {
    CopyBack("Authorize", "Purchase");
}
void CTranvexDlg::OnCopyAcqRefData() {
    CopyBack("AcqRefData", "AcqRefData");
}
void CTranvexDlg::OnCopyProcessData() {
    CopyBack("ProcessData", "ProcessData");
}
void CTranvexDlg::OnCopyRecordNo() {
    CopyBack("RecordNo", "RecordNo");
}
