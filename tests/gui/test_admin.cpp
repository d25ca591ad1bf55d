// The server-list commands, "Use Ping Port", the device list and their two dialogs, on the real
// widgets against fake components.
#include <QtWidgets>
#include <algorithm>

#include "GuiFixture.h"
#include "admin/ResultsDlg.h"
#include "controls/ResponseDataDlg.h"

namespace {

std::string Response(const char* status, const char* origin, const char* text, const char* tran = nullptr) {
    std::string out =
        std::string("<?xml version=\"1.0\"?>\r\n<RStream>\r\n<CmdResponse>\r\n<ResponseOrigin>") + origin +
        "</ResponseOrigin><CmdStatus>" + status + "</CmdStatus><TextResponse>" + text +
        "</TextResponse></CmdResponse>\r\n";
    if (tran)
        out += std::string("<TranResponse>\r\n") + tran + "</TranResponse>\r\n";
    return out + "</RStream>\r\n";
}

// What a dialog showed when it ran.
struct Shown {
    std::string banner, origin, detail, results;
    QColor colour;
    QString copied; // the detail line, all selected and copied
};

// Whether a line's text is painted whole in its box, by the label's own measure (frame and margins
// included): it needs no more height than the box has, and is no wider.
bool PaintedWhole(const QLabel& label) {
    return label.heightForWidth(label.width()) <= label.height() &&
           QFontMetrics(label.font()).horizontalAdvance(label.text()) <= label.contentsRect().width();
}

// Whether every character of the label's text advances as far as the first, as in a fixed-pitch font.
bool EqualAdvances(const QLabel& label) {
    const QFontMetricsF metrics(label.font());
    const QString text = label.text();
    return std::all_of(text.cbegin(), text.cend(), [&](QChar c) {
        return metrics.horizontalAdvance(c) == metrics.horizontalAdvance(text.front());
    });
}

QString SelectAllAndCopy(QLabel& label) {
    label.setSelection(0, static_cast<int>(label.text().size()));
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("c"));
    QCoreApplication::sendEvent(&label, &copy);
    return QGuiApplication::clipboard()->text();
}

class AdminTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        m_modal = std::make_unique<CDialog::ModalHookGuard>([this](CDialog& dlg) {
            Shown shown;
            if (auto* data = dynamic_cast<CResponseDataDlg*>(&dlg)) {
                auto label = [data](int id) { return qobject_cast<QLabel*>(data->GetDlgItem(id)); };
                auto TextColour = [](QWidget* widget) {
                    return widget->palette().color(QPalette::WindowText);
                };
                shown = {
                    data->GetDlgItemText(IDC_RESPONSE_BANNER), data->GetDlgItemText(IDC_RESPONSE_ORIGIN),
                    data->GetDlgItemText(IDC_RESPONSE_DETAIL), "",
                    TextColour(label(IDC_RESPONSE_BANNER)),    SelectAllAndCopy(*label(IDC_RESPONSE_DETAIL))};
                for (int id : {IDC_RESPONSE_ORIGIN, IDC_RESPONSE_DETAIL, IDC_RESPONSE_FRAME})
                    EXPECT_EQ(TextColour(data->GetDlgItem(id)), shown.colour) << id;
                EXPECT_NE(TextColour(data->GetDlgItem(IDOK)), shown.colour);
                for (int id : {IDC_RESPONSE_BANNER, IDC_RESPONSE_ORIGIN})
                    EXPECT_TRUE(PaintedWhole(*label(id))) << label(id)->font().toString().toStdString();
                EXPECT_TRUE(EqualAdvances(*label(IDC_RESPONSE_BANNER)));
                EXPECT_FALSE(EqualAdvances(*label(IDC_RESPONSE_DETAIL)));
                // However long, the whole detail can be read (tip).
                QLabel* detail = label(IDC_RESPONSE_DETAIL);
                for (const QString& word : detail->text().split(' ', Qt::SkipEmptyParts))
                    EXPECT_TRUE(detail->toolTip().contains(word.toHtmlEscaped())) << shown.detail;
            } else if (auto* results = dynamic_cast<CResultsDlg*>(&dlg)) {
                shown.results = results->GetDlgItemText(IDC_RESULTS_TEXT);
            }
            m_shown.push_back(shown);
            return IDOK;
        });
        m_client->answer =
            m_device->answer = [](int, const DispArgs&) { return Response("Success", "Client", "done"); };
    }

    std::unique_ptr<CDialog::ModalHookGuard> m_modal;
    std::vector<Shown> m_shown;
};

// Through a command: the answer logged verbatim, then the dialog, even after a scan failure.
TEST_F(AdminTest, ResponseDataShowsBannerLinesAndColourForEachOutcome) {
    const char* tran = "<AuthCode>A1B2</AuthCode><RefNo>0042</RefNo><CaptureStatus>Captured</CaptureStatus>";
    const char* const approved = "AuthCode: A1B2   RefNo: 0042   Captured";
    const struct {
        std::string response;
        const char *banner, *origin, *detail;
        bool blue;
        const char* message = nullptr; // of the scan
    } rows[] = {
        {Response("Success", "Client", "100% %s %n"), "* SUCCESS *", "Client", "TextResponse = 100% %s %n",
         true},
        {Response("Approved", "Processor", "AP", tran), "* APPROVED *", "Processor", approved, true},
        {Response("Declined", "Processor", "NO"), "* DECLINED *", "Processor", "TextResponse = NO", false},
        {Response("Error", "Server", "down"), "*** ERROR ***", "Server", "TextResponse = down", false},
        {Response("S", "Server", "both flags", tran), "* APPROVED *", "Server", approved, true},
        {"garbage", "* DECLINED *", "", "TextResponse = ", false, "No XML Response or <RStream> in XML"},
        {Response("Success", "Client", "only <b>here</b> &lt;"), "* SUCCESS *", "Client",
         "TextResponse = only <b>here</b> &lt;", true},
    };
    Click(IDC_TARGET_CLIENT);
    Texts logged;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.banner);
        m_shown.clear();
        m_client->answer = [&](int, const DispArgs&) { return row.response; };
        Click(IDC_STORE_SERVER_LIST);
        logged.push_back(row.response);
        EXPECT_EQ(LogEntries(), logged);
        EXPECT_EQ(TakeMessages(), row.message ? Texts{row.message} : Texts{});
        ASSERT_EQ(m_shown.size(), 1u);
        EXPECT_EQ(m_shown[0].banner, row.banner);
        EXPECT_EQ(m_shown[0].origin, std::string("Response Origin = ") + row.origin);
        EXPECT_EQ(m_shown[0].detail, row.detail);
        EXPECT_EQ(m_shown[0].colour, row.blue ? QColor(0, 0, 255) : QColor(255, 0, 0));
        EXPECT_EQ(m_shown[0].copied.toStdString(), row.detail) << "shown and copied as plain text";
    }
}

// Each command on each target: its DISPID and arguments, with the port box ticked and unticked, then
// the Response Data dialog.
TEST_F(AdminTest, CommandsCallTheirDispidWithThePortRule) {
    const std::string server = "127.0.0.1:9100; gw.example.net";
    const std::int16_t zero = 0;
    const struct {
        int button, clientDispid, deviceDispid;
        DispArgs unticked, ticked;
    } rows[] = {
        {IDC_STORE_SERVER_LIST, 2, 7, {server, zero}, {server, zero}},
        {IDC_PING_SERVER_LIST, 3, 6, {std::string(), zero}, {std::string("9200"), zero}},
        {IDC_GET_IP_FROM_NAME, 5, 4, {server, zero}, {server, zero}},
        {IDC_PING_SINGLE_IP, 6, 3, {server, std::string(), zero}, {server, std::string("9200"), zero}},
    };
    m_dlg->SetDlgItemText(IDC_SERVER_NAME, server);
    m_dlg->SetDlgItemText(IDC_PING_PORT, "9200"); // held, but unticked: not sent
    for (bool ticked : {false, true}) {
        if (ticked)
            Click(IDC_USE_PING_PORT);
        for (const auto& row : rows) {
            for (int target : {IDC_TARGET_CLIENT, IDC_TARGET_DEVICE}) {
                SCOPED_TRACE(std::to_string(row.button) + (ticked ? " ticked " : " ") +
                             std::to_string(target));
                m_client->calls.clear();
                m_device->calls.clear();
                m_shown.clear();
                Click(target);
                Click(row.button);
                const auto& calls = target == IDC_TARGET_CLIENT ? m_client->calls : m_device->calls;
                ASSERT_EQ(calls.size(), 1u);
                EXPECT_EQ(m_client->calls.size() + m_device->calls.size(), 1u);
                EXPECT_EQ(calls[0].dispid, target == IDC_TARGET_CLIENT ? row.clientDispid : row.deviceDispid);
                EXPECT_EQ(calls[0].args, ticked ? row.ticked : row.unticked);
                ASSERT_EQ(m_shown.size(), 1u);
                EXPECT_EQ(m_shown[0].banner, "* SUCCESS *");
            }
        }
    }
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(AdminTest, UsePingPortReadsTheCheckBoxItself) {
    QWidget* port = m_dlg->GetDlgItem(IDC_PING_PORT);
    EXPECT_FALSE(port->isEnabled());
    Click(IDC_USE_PING_PORT);
    EXPECT_TRUE(port->isEnabled());
    // The box takes five characters, and the window accepts what it took, counted in characters.
    qobject_cast<QLineEdit*>(port)->insert(QStringLiteral("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"));
    EXPECT_TRUE(m_dlg->UpdateData(TRUE));
    EXPECT_EQ(m_dlg->m_strPingPort, "\u00e9\u00e9\u00e9\u00e9\u00e9");
    Click(IDC_USE_PING_PORT);
    EXPECT_FALSE(port->isEnabled());
    EXPECT_EQ(m_dlg->GetDlgItemText(IDC_PING_PORT), "");
}

TEST_F(AdminTest, WithoutATargetEachCommandWarnsOnceLogsOnceAndCallsNothing) {
    for (int button : {IDC_STORE_SERVER_LIST, IDC_PING_SERVER_LIST, IDC_GET_IP_FROM_NAME, IDC_PING_SINGLE_IP,
                       IDC_GET_DEVICE_LIST})
        Click(button);
    EXPECT_EQ(m_messages, Texts(5, "Please Select a Valid OCX Control to Target!"));
    EXPECT_TRUE(m_client->calls.empty() && m_device->calls.empty() && m_shown.empty());
    EXPECT_EQ(LogEntries(), Texts(5, "Invalid OCX Control Target"));
}

TEST_F(AdminTest, DeviceListGoesToTheResultsDialogFromTheDeviceOnly) {
    const std::string list = "<?xml version=\"1.0\"?>\r\n<DeviceList>\r\n\t<Device>PinPad 50%</Device>\r\n"
                             "</DeviceList>\r\n";
    const char* const notTheDevice = "Invalid OCX Control Target for GetDevices Command";
    m_device->answer = [&](int, const DispArgs&) { return list; };
    m_dlg->m_strLastResponse = "older";
    Click(IDC_TARGET_CLIENT);
    Click(IDC_GET_DEVICE_LIST);
    EXPECT_EQ(TakeMessages(), Texts{notTheDevice});
    EXPECT_TRUE(m_client->calls.empty() && m_device->calls.empty());
    EXPECT_EQ(m_dlg->m_strLastResponse, "");
    EXPECT_EQ(LogEntries(), Texts{notTheDevice});

    Click(IDC_TARGET_DEVICE);
    Click(IDC_GET_DEVICE_LIST);
    ASSERT_EQ(m_device->calls.size(), 1u);
    EXPECT_EQ(m_device->calls[0].dispid, 9);
    EXPECT_TRUE(m_device->calls[0].args.empty());
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].results, list) << "shown as returned, not re-serialised";
    EXPECT_EQ(m_dlg->m_strLastResponse, list);
    EXPECT_EQ(LogEntries(), (Texts{notTheDevice, list}));

    // A malformed list: the parse message, no dialog, no last response.
    m_shown.clear();
    m_device->answer = [&](int, const DispArgs&) { return std::string("<DeviceList><Device></DeviceList>"); };
    Click(IDC_GET_DEVICE_LIST);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].rfind("PArsing Response->XML Parse Error", 0), 0u) << m_messages[0];
    EXPECT_EQ(m_dlg->m_strLastResponse, "");
    EXPECT_TRUE(m_shown.empty());
}

using ComponentChoiceTest = GuiFixture;

// A library named in the environment that cannot be used is told at start, and every call on that
// control fails with the same text, while the other control works.
TEST_F(ComponentChoiceTest, ALibraryThatCannotBeUsedIsToldAtStartAndFailsEveryCall) {
    setenv("TRANVEX_DEVICE_COMPONENT", "/nowhere.so", 1);
    MakeWindow();
    unsetenv("TRANVEX_DEVICE_COMPONENT");
    const std::string problem = "TRANVEX_DEVICE_COMPONENT /nowhere.so: no library /nowhere.so";
    CDialog::ModalHookGuard noDialogs([](CDialog&) { return IDOK; });
    for (int target : {IDC_TARGET_DEVICE, IDC_TARGET_CLIENT}) {
        Click(target);
        Click(IDC_STORE_SERVER_LIST);
    }
    ASSERT_GE(m_messages.size(), 2u);
    EXPECT_EQ(Texts(m_messages.begin(), m_messages.begin() + 2), (Texts{problem, problem}));
    EXPECT_TRUE(m_device->calls.empty());
    EXPECT_EQ(m_client->calls.size(), 1u);
}

} // namespace
