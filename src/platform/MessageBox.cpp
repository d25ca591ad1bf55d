// The message box and its test hook.
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/QtText.h"

namespace {

constexpr int kTabChars = 4;

// Read-only text that copies, when all of it is selected, the text exactly as it was given
// (CR LF line ends included), where the widget itself would give plain line feeds.
class CMessageText : public QPlainTextEdit {
public:
    CMessageText(QString text, QWidget* parent) : QPlainTextEdit(parent), m_strText(std::move(text)) {
        setPlainText(m_strText);
    }

protected:
    QMimeData* createMimeDataFromSelection() const override {
        const QTextCursor cursor = textCursor();
        if (cursor.selectionStart() > 0 || cursor.selectionEnd() < document()->characterCount() - 1)
            return QPlainTextEdit::createMimeDataFromSelection();
        auto* data = new QMimeData;
        data->setText(m_strText);
        return data;
    }

private:
    QString m_strText;
};

// The widest line in pixels, tabs taken to the next stop.
int WidestLine(const QPlainTextEdit& view, qreal tab) {
    const QFontMetricsF metrics(view.font());
    qreal widest = 0;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        qreal x = 0;
        const QStringList parts = block.text().split(QLatin1Char('\t'));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                x = (std::floor(x / tab) + 1) * tab;
            x += metrics.horizontalAdvance(parts[i]);
        }
        widest = std::max(widest, x);
    }
    return static_cast<int>(std::ceil(widest));
}

} // namespace

MessageBoxHook& CurrentMessageBoxHook() {
    static MessageBoxHook hook;
    return hook;
}

CMessageBoxDlg::CMessageBoxDlg(const CString& text, UINT type, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QApplication::applicationName());
    m_pText = new CMessageText(BytesToQt(text), this);
    m_pText->setReadOnly(true);
    m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pText->setFrameShape(QFrame::NoFrame);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette palette = m_pText->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window)); // reads as a label, not a box
    m_pText->setPalette(palette);
    m_pText->ensurePolished(); // the style may still change the font
    const qreal tab = kTabChars * QFontMetricsF(m_pText->font()).averageCharWidth();
    m_pText->setTabStopDistance(tab);

    // As large as the text, up to most of the screen; beyond that the text scrolls.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.8 : QSize(1024, 768);
    // Margins, with a character and a line to spare so that no scroll bar appears for a pixel.
    const QFontMetrics metrics = m_pText->fontMetrics();
    const int margins = 2 * static_cast<int>(m_pText->document()->documentMargin());
    const int lines = m_pText->document()->blockCount() + 1;
    QSize wanted(WidestLine(*m_pText, tab) + margins + 2 * metrics.averageCharWidth(),
                 lines * metrics.lineSpacing() + margins);
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool bWide = wanted.width() > room.width(), bTall = wanted.height() > room.height();
    if (bWide)
        wanted.rheight() += bar;
    if (bTall)
        wanted.rwidth() += bar;
    m_pText->setHorizontalScrollBarPolicy(bWide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_pText->setVerticalScrollBarPolicy(bTall ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_pText->setFixedSize(wanted.boundedTo(room));

    auto* row = new QHBoxLayout;
    if (type & MB_ICONERROR) {
        auto* icon = new QLabel(this);
        icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
        row->addWidget(icon, 0, Qt::AlignTop);
    }
    row->addWidget(m_pText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    buttons->button(QDialogButtonBox::Ok)->setFocus();
}

int AfxMessageBox(const CString& text, UINT type) {
    if (CurrentMessageBoxHook())
        return CurrentMessageBoxHook()(text, type);
    CMessageBoxDlg box(text, type, QApplication::activeWindow());
    box.exec();
    return IDOK;
}
