// The template builder: a dialog's template table turned into widgets at their places in dialog
// units, with their fonts, colours, tab order and radio groups.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <limits>

#include "platform/Dialog.h"
#include "platform/QtText.h"

namespace {

QColor ToQColor(COLORREF color) { return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF); }

// The system's fixed-pitch font comes at a size of its own, and families differ in line height at
// one size (at 9 pt, DejaVu Sans Mono 14 px, Nimbus Mono PS 16, Noto Sans Mono 17): the size comes
// down until one line fits the control, whose size stays as the template gives it.
QFont FixedFontFitting(const QWidget& widget) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int room = widget.contentsRect().height();
    for (int px = QFontInfo(font).pixelSize(); px > 1 && QFontMetrics(font).height() > room;)
        font.setPixelSize(--px);
    return font;
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

} // namespace

void CDialog::BuildFromTemplate() {
    setWindowTitle(BytesToQt(m_template.title));
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
        if (item.font == DlgFont::SystemFixed)
            widget->setFont(FixedFontFitting(*widget));
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
    const QString caption = BytesToQt(item.caption ? item.caption : "");
    switch (item.kind) {
    case DlgKind::GroupBox:
        return new QGroupBox(caption, this);
    case DlgKind::Label: {
        auto* label = new QLabel(this);
        // Static text shows its text as it is, even when it looks like markup (a response's text).
        label->setTextFormat(Qt::PlainText);
        label->setText(caption);
        label->setWordWrap(true);
        label->setAlignment((item.style & DS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        if (item.style & DS_BORDER) {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            // The text starts at the border, as in a bordered static; Qt would indent it by half an
            // "x", at the top too, and cut a line that only just fits.
            label->setIndent(0);
        }
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

void CDialog::RefreshCtlColors() {
    for (auto [item, widget] : m_allItems) {
        CCtlColorDC dc;
        dc.SetTextColor(item->textColor);
        OnCtlColor(&dc, widget, CtlColorKind(item->kind));
        if (dc.GetTextColor() != CLR_DEFAULT)
            ApplyTextColor(widget, dc.GetTextColor());
    }
}
