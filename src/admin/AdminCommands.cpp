// The server-list commands, "Use Ping Port" and the device list: one call on the selected control,
// its answer logged verbatim, then summarised (Response Data) or shown whole (Results).
#include "admin/ResultsDlg.h"
#include "app/TranvexDlg.h"
#include "controls/ResponseDataDlg.h"
#include "log/LogWriter.h"
#include "platform/MessageBox.h"
#include "xml/XmlDocHelper.h"

namespace {

constexpr const char* kNoTarget = "Invalid OCX Control Target";
constexpr const char* kNoDeviceTarget = "Invalid OCX Control Target for GetDevices Command";

// The port rule: the typed port only while "Use Ping Port" was ticked when the screen was read.
CString PingPort(const CTranvexDlg& dlg) {
    return dlg.m_bUsePingPort ? dlg.m_strPingPort : CString();
}

// Calls the selected control, logs its answer and shows the Response Data dialog; with no target,
// logs that and stops (the target rule has already warned the operator).
template <typename Call> void RunServerCommand(CTranvexDlg& dlg, Call call) {
    CPaymentControl* pTarget = dlg.Control(TargetFromValue(dlg.GetSelectedTarget(true)));
    if (!pTarget) {
        GetLogWriter()->Write("%s", kNoTarget);
        return;
    }
    const CString strResponse = call(*pTarget);
    GetLogWriter()->Write("%s", strResponse.c_str());

    CResponseDataDlg summary;
    summary.ParseResponse(strResponse);
    summary.DoModal();
}

} // namespace

void CTranvexDlg::OnStoreServerList() {
    UpdateData(TRUE);
    RunServerCommand(
        *this, [this](CPaymentControl& control) { return control.StoreServerList(m_strServerName, 0); });
}

void CTranvexDlg::OnPingServerList() {
    UpdateData(TRUE);
    const CString strPort = PingPort(*this);
    RunServerCommand(*this,
                     [&strPort](CPaymentControl& control) { return control.PingServerList(strPort, 0); });
}

void CTranvexDlg::OnGetIPFromServerName() {
    UpdateData(TRUE);
    RunServerCommand(
        *this, [this](CPaymentControl& control) { return control.GetIPFromServerName(m_strServerName, 0); });
}

void CTranvexDlg::OnPingSingleIP() {
    UpdateData(TRUE);
    const CString strPort = PingPort(*this);
    RunServerCommand(*this, [this, &strPort](CPaymentControl& control) {
        return control.PingSingleIP(m_strServerName, strPort, 0);
    });
}

// The check box has already toggled; its own state counts, not the member read at the last command.
void CTranvexDlg::OnUsePingPort() {
    if (m_btnUsePingPort.GetCheck() == BST_CHECKED) {
        m_editPingPort.EnableWindow(TRUE);
    } else {
        m_editPingPort.SetWindowText("");
        m_editPingPort.EnableWindow(FALSE);
    }
}

void CTranvexDlg::OnGetDeviceList() {
    m_strLastResponse.clear();
    // Only the device control lists devices; the client control gets a message of its own.
    const ETarget target = TargetFromValue(GetSelectedTarget(true));
    if (target == ETarget::Client) {
        GetLogWriter()->Write("%s", kNoDeviceTarget);
        AfxMessageBox(kNoDeviceTarget);
        return;
    }
    if (target != ETarget::Device) {
        GetLogWriter()->Write("%s", kNoTarget);
        return;
    }

    const CString strResponse = m_ctlDevice.GetDeviceList();
    GetLogWriter()->Write("%s", strResponse.c_str());

    CXmlDocHelper devices;
    if (!devices.Load(strResponse)) {
        AfxMessageBox("PArsing Response->" + devices.GetError().m_strMessage);
        return;
    }
    m_strLastResponse = strResponse;

    CResultsDlg results;
    results.m_strResults = strResponse; // as the control returned it, not re-serialised
    results.DoModal();
}
