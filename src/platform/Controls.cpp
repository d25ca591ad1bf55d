// The control objects: CWnd, CStatic (with its paint hand-over), CEdit and CButton.
#include "platform/Controls.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QWidget>
#include <limits>

#include "platform/WidgetText.h"

namespace {

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
