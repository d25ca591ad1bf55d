// Dialogs built from template tables, data exchange, the command dispatcher and the modal hook.
#include "platform/Dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <exception>
#include <limits>
#include <unordered_map>

#include "platform/MessageBox.h"
#include "platform/QtText.h"

namespace {

QString ToQt(const CString& text, bool* pLatin1 = nullptr) {
    return BytesToQt(text, pLatin1);
}

// Multi-line boxes hold CR LF line ends in this program's texts; the widget wants plain LF.
QString ToPlainLines(const CString& text, bool* pLatin1 = nullptr) {
    QString s = ToQt(text, pLatin1);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

// The text a widget holds, as the widget gives it back.
QString HeldText(const QWidget* widget) {
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    if (auto* box = qobject_cast<const QPlainTextEdit*>(widget))
        return box->toPlainText();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    return QString();
}

// Each widget keeps the exact bytes its text was set from, with the text it held right after: while
// it still holds that text, the bytes are its text, so whatever went in comes back byte for byte.
struct SKeptText {
    CString bytes;
    QString held;
    bool bTaken = false;  // false when the box took less than it was given (its input limit)
    bool bLatin1 = false; // the bytes were shown one character per byte
};

SKeptText* KeptText(const QWidget* widget, bool bMake) {
    static auto* kept = new std::unordered_map<const QWidget*, SKeptText>; // outlives every widget
    if (auto it = kept->find(widget); it != kept->end())
        return &it->second;
    if (!bMake)
        return nullptr;
    QObject::connect(widget, &QObject::destroyed, [widget] { kept->erase(widget); });
    return &(*kept)[widget];
}

void KeepBytes(QWidget* widget, const CString& text, bool bLatin1, bool bTaken = true) {
    SKeptText& kept = *KeptText(widget, true);
    kept.bTaken = bTaken;
    kept.bLatin1 = bLatin1;
    kept.bytes.assign(bTaken ? text : CString());
    kept.held = bTaken ? HeldText(widget) : QString();
}

CString WidgetText(const QWidget* widget) {
    QString held = HeldText(widget);
    const SKeptText* kept = KeptText(widget, false);
    if (kept && kept->bTaken && kept->held == held)
        return kept->bytes;
    // Edited: a box that showed its bytes one per character gives them back that way where it can.
    if (qobject_cast<const QPlainTextEdit*>(widget))
        held.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const bool bLatin1 = kept && kept->bLatin1 &&
                         std::all_of(held.cbegin(), held.cend(), [](QChar c) { return c.unicode() < 0x100; });
    const QByteArray bytes = bLatin1 ? held.toLatin1() : held.toUtf8();
    return CString(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SetWidgetText(QWidget* widget, const CString& text) {
    bool bLatin1 = false;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        const QString value = ToQt(text, &bLatin1);
        if (edit->text() != value) { // laying the text out again is the costly part
            edit->setText(value);
            edit->setCursorPosition(0);
        }
        KeepBytes(widget, text, bLatin1, edit->text() == value);
        return;
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) {
        const QString value = ToPlainLines(text, &bLatin1);
        if (box->toPlainText() != value)
            box->setPlainText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(ToQt(text, &bLatin1));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToPlainLines(text, &bLatin1));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(ToQt(text, &bLatin1));
    } else {
        return;
    }
    KeepBytes(widget, text, bLatin1);
}

QColor ToQColor(COLORREF color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

QFont FontFor(DlgFont font, const QFont& dialogFont) {
    return font == DlgFont::SystemFixed ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : dialogFont;
}

void ApplyTextColor(QWidget* widget, COLORREF color) {
    QPalette palette = widget->palette();
    const QColor qcolor = ToQColor(color);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, qcolor);
    widget->setPalette(palette);
}

void ApplyBackground(QWidget* widget, COLORREF color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

UINT CtlColorKind(DlgKind kind) {
    switch (kind) {
    case DlgKind::Edit:
        return CTLCOLOR_EDIT;
    case DlgKind::PushButton:
    case DlgKind::CheckBox:
    case DlgKind::RadioButton:
        return CTLCOLOR_BTN;
    default:
        return CTLCOLOR_STATIC;
    }
}

// Hands a static control's paint events to the CStatic bound to it.
class CPaintRouter : public QObject {
public:
    CPaintRouter(QWidget* widget, CStatic* owner) : QObject(widget), m_pOwner(owner) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint)
            return false;
        QPainter dc(static_cast<QWidget*>(watched));
        return m_pOwner->OnPaint(dc);
    }

private:
    CStatic* m_pOwner;
};

} // namespace

// ---- control objects

void CWnd::EnableWindow(BOOL bEnable) {
    if (m_pWidget)
        m_pWidget->setEnabled(bEnable != FALSE);
}

BOOL CWnd::IsWindowEnabled() const { return m_pWidget && m_pWidget->isEnabled() ? TRUE : FALSE; }

void CWnd::SetWindowText(const CString& text) {
    if (m_pWidget)
        SetWidgetText(m_pWidget, text);
}

CString CWnd::GetWindowText() const { return m_pWidget ? WidgetText(m_pWidget) : CString(); }

void CWnd::SetFont(DlgFont font) {
    if (m_pWidget)
        m_pWidget->setFont(FontFor(font, m_pWidget->parentWidget() ? m_pWidget->parentWidget()->font()
                                                                     : m_pWidget->font()));
}

void CWnd::Invalidate() {
    if (m_pWidget)
        m_pWidget->update();
}

CStatic::~CStatic() { delete m_pPaintRouter; }

void CStatic::Attach(QWidget* widget) {
    delete m_pPaintRouter;
    m_pPaintRouter = nullptr;
    CWnd::Attach(widget);
    if (widget) {
        m_pPaintRouter = new CPaintRouter(widget, this);
        widget->installEventFilter(m_pPaintRouter);
    }
}

bool CStatic::OnPaint(QPainter&) { return false; }

// 0 means no limit of the box's own.
void CEdit::LimitText(int nChars) {
    if (auto* edit = qobject_cast<QLineEdit*>(m_pWidget))
        edit->setMaxLength(nChars > 0 ? nChars : std::numeric_limits<int>::max());
}

int CButton::GetCheck() const {
    auto* button = qobject_cast<QAbstractButton*>(m_pWidget);
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    if (auto* button = qobject_cast<QAbstractButton*>(m_pWidget))
        button->setChecked(nCheck == BST_CHECKED);
}

// ---- data exchange

void DDX_Text(CDataExchange* pDX, int nID, CString& value) {
    pDX->m_nLastControl = nID;
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetDlgItemText(nID);
    else
        pDX->m_pDlgWnd->SetDlgItemText(nID, value);
}

void DDX_Check(CDataExchange* pDX, int nID, BOOL& value) {
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(nID);
    else
        pDX->m_pDlgWnd->CheckDlgButton(nID, value ? BST_CHECKED : BST_UNCHECKED);
}

void DDX_Control(CDataExchange* pDX, int nID, CWnd& control) {
    if (!control.GetWidget())
        control.Attach(pDX->m_pDlgWnd->GetDlgItem(nID));
}

// Applies to the edit box exchanged just before: going to the screen it sets the box's input limit,
// so the limit can never be exceeded when the screen comes back.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (pDX->m_bSaveAndValidate) {
        if (static_cast<int>(value.size()) > nChars)
            pDX->m_bFail = true;
    } else if (auto* edit = qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_nLastControl))) {
        edit->setMaxLength(nChars);
    }
}

// ---- the dialog

CDialog::CDialog(const DlgTemplate& dlgTemplate, QWidget* parent) : QDialog(parent), m_template(dlgTemplate) {
    BuildFromTemplate();
}

CDialog::~CDialog() = default;

void CDialog::BuildFromTemplate() {
    setWindowTitle(ToQt(m_template.title));
    QFont font = QApplication::font();
    font.setPointSize(m_template.fontPoints > 0 ? m_template.fontPoints : 8);
    setFont(font);

    // Dialog base units, as the window system computes them from the dialog font.
    QFontMetrics metrics(font);
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_nBaseX = (metrics.horizontalAdvance(sample) / 26 + 1) / 2;
    m_nBaseY = metrics.height();

    setFixedSize(MapDialogRect(0, 0, m_template.cx, m_template.cy).size());

    QButtonGroup* radioGroup = nullptr;
    QWidget* previousTabStop = nullptr;
    for (const DlgItem& item : m_template.items) {
        QWidget* widget = CreateItem(item);
        widget->setGeometry(MapDialogRect(item.x, item.y, item.w, item.h));
        widget->setProperty("dlgId", item.id);
        if (item.style & DS_DISABLED)
            widget->setEnabled(false);
        if (item.id != IDC_STATIC)
            m_items[item.id] = widget;
        m_allItems.emplace_back(&item, widget);
        if (item.font != DlgFont::Dialog)
            widget->setFont(FontFor(item.font, font));
        if (item.textColor != CLR_DEFAULT)
            ApplyTextColor(widget, item.textColor);
        if (item.bkColor != CLR_DEFAULT)
            ApplyBackground(widget, item.bkColor);

        if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
            if (!radioGroup || (item.style & DS_GROUP))
                radioGroup = new QButtonGroup(this);
            radio->setAutoExclusive(false);
            radioGroup->addButton(radio, item.id);
        } else {
            radioGroup = nullptr;
        }

        const bool tabStop = widget->focusPolicy() != Qt::NoFocus && !(item.style & DS_NOTABSTOP) &&
                             item.kind != DlgKind::HostedControl;
        if (item.style & DS_NOTABSTOP)
            widget->setFocusPolicy(Qt::ClickFocus);
        if (tabStop) {
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
    }

    // The framework's own buttons.
    if (auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDOK)))
        connect(ok, &QAbstractButton::clicked, this, [this] { Dispatch([this] { OnOK(); }); });
    if (auto* cancel = qobject_cast<QAbstractButton*>(GetDlgItem(IDCANCEL)))
        connect(cancel, &QAbstractButton::clicked, this, [this] { Dispatch([this] { OnCancel(); }); });
}

QWidget* CDialog::CreateItem(const DlgItem& item) {
    const QString caption = ToQt(item.caption ? item.caption : "");
    switch (item.kind) {
    case DlgKind::GroupBox:
        return new QGroupBox(caption, this);
    case DlgKind::Label: {
        auto* label = new QLabel(caption, this);
        label->setWordWrap(true);
        label->setAlignment((item.style & DS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        if (item.style & DS_BORDER)
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
        return label;
    }
    case DlgKind::Icon: {
        auto* label = new QLabel(this);
        label->setPixmap(windowIcon().pixmap(32, 32));
        return label;
    }
    case DlgKind::Edit:
        if (item.style & DS_MULTILINE) {
            auto* box = new QPlainTextEdit(this);
            box->setReadOnly(item.style & DS_READONLY);
            box->setLineWrapMode(item.style & DS_NOWRAP ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            box->setVerticalScrollBarPolicy(item.style & DS_VSCROLL ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAsNeeded);
            box->setTabChangesFocus(true);
            // Multi-line edit boxes stop tabs every 32 dialog units (eight average characters).
            box->setTabStopDistance(MapDialogRect(0, 0, 32, 0).width());
            return box;
        } else {
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(item.style & DS_READONLY);
            edit->setMaxLength(std::numeric_limits<int>::max()); // no hidden limit of 32,767 characters
            return edit;
        }
    case DlgKind::PushButton: {
        auto* button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        button->setDefault(item.style & DS_DEFAULT);
        button->setFlat(false); // a flat Windows button still has a thin frame
        return button;
    }
    case DlgKind::CheckBox:
        return new QCheckBox(caption, this);
    case DlgKind::RadioButton:
        return new QRadioButton(caption, this);
    case DlgKind::HostedControl: {
        // Stands in for a hosted component's window: present, never shown.
        auto* placeholder = new QWidget(this);
        placeholder->setObjectName(caption);
        placeholder->setFocusPolicy(Qt::NoFocus);
        placeholder->hide();
        return placeholder;
    }
    case DlgKind::Picture: {
        auto* frame = new QFrame(this);
        frame->setFocusPolicy(Qt::NoFocus);
        return frame;
    }
    }
    return new QWidget(this);
}

QRect CDialog::MapDialogRect(int x, int y, int w, int h) const {
    return QRect(x * m_nBaseX / 4, y * m_nBaseY / 8, w * m_nBaseX / 4, h * m_nBaseY / 8);
}

CDialog::ModalHook& CDialog::CurrentModalHook() {
    static ModalHook hook;
    return hook;
}

void CDialog::OnCtlColor(CCtlColorDC*, QWidget*, UINT) {}

void CDialog::RefreshCtlColors() {
    for (auto [item, widget] : m_allItems) {
        CCtlColorDC dc;
        dc.SetTextColor(item->textColor);
        OnCtlColor(&dc, widget, CtlColorKind(item->kind));
        if (dc.GetTextColor() != CLR_DEFAULT)
            ApplyTextColor(widget, dc.GetTextColor());
    }
}

void CDialog::showEvent(QShowEvent* event) {
    RefreshCtlColors();
    QDialog::showEvent(event);
}

int CDialog::DoModal() {
    m_nModalResult = IDCANCEL;
    OnInitDialog();
    RefreshCtlColors();
    if (CurrentModalHook())
        return CurrentModalHook()(*this);
    exec();
    return m_nModalResult;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx{this, bSaveAndValidate != FALSE};
    DoDataExchange(&dx);
    return dx.m_bFail ? FALSE : TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    QDialog::done(nResult);
}

void CDialog::accept() {
    Dispatch([this] { OnOK(); });
}

void CDialog::reject() {
    Dispatch([this] { OnCancel(); });
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses the focused push button, else the default one, else it is the OK command.
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
            focused->click();
            return;
        }
        for (auto [id, widget] : m_items) {
            auto* button = qobject_cast<QPushButton*>(widget);
            if (button && button->isDefault() && button->isEnabled()) {
                button->click();
                return;
            }
        }
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QWidget* CDialog::GetDlgItem(int nID) const {
    auto it = m_items.find(nID);
    return it == m_items.end() ? nullptr : it->second;
}

CString CDialog::GetDlgItemText(int nID) const {
    QWidget* widget = GetDlgItem(nID);
    return widget ? WidgetText(widget) : CString();
}

void CDialog::SetDlgItemText(int nID, const CString& text) {
    if (QWidget* widget = GetDlgItem(nID))
        SetWidgetText(widget, text);
}

int CDialog::IsDlgButtonChecked(int nID) const {
    auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID));
    return button && button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CDialog::CheckDlgButton(int nID, int nCheck) {
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID)))
        button->setChecked(nCheck == BST_CHECKED);
}

void CDialog::Dispatch(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        AfxMessageBox(e.what(), MB_OK | MB_ICONERROR);
    } catch (...) {
        AfxMessageBox("An unexpected error occurred.", MB_OK | MB_ICONERROR);
    }
}

void CDialog::ConnectCommand(int nID, std::function<void()> handler) {
    m_commands[nID] = handler;
    if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(nID)))
        connect(button, &QAbstractButton::clicked, this, [handler = std::move(handler)] { Dispatch(handler); });
}

bool CDialog::OnCommand(int nID) {
    auto it = m_commands.find(nID);
    if (it == m_commands.end())
        return false;
    Dispatch(it->second);
    return true;
}
