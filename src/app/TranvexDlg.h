// CTranvexDlg: the main window, its members, its template and command table, and the target rule.
// Handlers are defined in the folder of the subsystem they belong to.
#pragma once

#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"
#include "platform/Dialog.h"
#include "platform/MfcTypes.h"
#include "xml/XmlDocHelper.h"

#include <QIcon>
#include <array>
#include <istream>
#include <string_view>

class QMenu;
class QTimer;
class CScriptSplitter;

class CTranvexDlg : public CDialog {
    Q_OBJECT
public:
    explicit CTranvexDlg(QWidget* pParent = nullptr);
    ~CTranvexDlg() override;

    static const DlgTemplate& DialogTemplate();

    // Members, in the order the data exchange and the handlers know them.
    CEdit m_editPingPort;
    CButton m_btnUsePingPort;
    CString m_strXmlPath;
    CString m_strServerName;
    CKVTCLientX m_ctlClient;
    BOOL m_bUsePingPort = FALSE;
    CString m_strPingPort;
    CKvtHRNX m_ctlDevice;
    QIcon m_hIcon;
    CStringArray m_arrTransactions;
    int m_nCurrent = -1;
    CXmlDocHelper m_xmlRequest;
    CString m_strLastResponse;

    QMenu* m_pSysMenu = nullptr; // the window's own menu, with "&About Tranvex..."
    QTimer* m_pLogCheck = nullptr; // asks the log writer, from this thread, whether lines were lost

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // 0 for the client control, 1 for the device control, -1 for none (ETarget's values).
    int GetSelectedTarget(bool bReport);
    // The wrapper of a target; null for none.
    CPaymentControl* Control(ETarget target);

    // Application shell
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnExit();
    // Tells the operator, once, that log lines could not be written.
    void OnCheckLog();

    // Transaction script
    void OnBrowseLoad();
    void OnReloadFile();
    void SplitScript(std::istream& file);
    void OnLoadNext();
    void OnLoadPrev();
    void ShowRequestFields(bool bClear);
    void OnCopyRefNo();
    void OnCopyAuthCode();
    void OnCopyPurchase();
    void OnCopyAuthorize();
    void OnCopyAcqRefData();
    void OnCopyProcessData();
    void OnCopyRecordNo();

    // Transaction execution
    void UpdateRequestFromFields();
    void OnRunIt();
    void OnRunItAndLoadNext();

    // Server administration
    void OnStoreServerList();
    void OnPingServerList();
    void OnGetIPFromServerName();
    void OnPingSingleIP();
    void OnUsePingPort();
    void OnGetDeviceList();

    // Viewers
    void OnViewXml();
    void OnViewUpdatedXml();
    void OnViewLastXml();
    void OnEditAndReload();
    void OnOpenInEditor();

    // Signature
    void OnViewLastSign();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The wrappers, one per row of the target list.
    std::array<CPaymentControl*, kTargets.size()> Controls();
    void ConnectCommandTable();
    void LoadCurrentTransaction();
    void CopyBack(std::string_view from, std::string_view to);
};
