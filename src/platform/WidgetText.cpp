// The byte-exact text of the controls: each widget keeps the bytes it was last given.
#include "platform/WidgetText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>
#include <unordered_map>

#include "platform/QtText.h"

namespace {

// Multi-line boxes hold CR LF line ends in this program's texts; the widget wants plain LF.
QString ToPlainLines(const CString& text, bool* pLatin1) {
    QString s = BytesToQt(text, pLatin1);
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

} // namespace

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
        const QString value = BytesToQt(text, &bLatin1);
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
        button->setText(BytesToQt(text, &bLatin1));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(ToPlainLines(text, &bLatin1)); // in the label's plain-text format
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(BytesToQt(text, &bLatin1));
    } else {
        return;
    }
    KeepBytes(widget, text, bLatin1);
}
