// The control objects a dialog binds to its template controls (DDX_Control): CWnd and the static,
// edit and button kinds.
#pragma once

#include "platform/MfcTypes.h"

class QObject;
class QPainter;
class QWidget;

class CWnd {
public:
    virtual ~CWnd() = default;
    virtual void Attach(QWidget* widget) { m_pWidget = widget; }
    QWidget* GetWidget() const { return m_pWidget; }
    void EnableWindow(BOOL bEnable);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const CString& text);
    CString GetWindowText() const;
    // Asks for a repaint of the whole control.
    void Invalidate();

protected:
    QWidget* m_pWidget = nullptr;
};

// A static control whose painting can be taken over: once attached, the widget's paint events go to
// OnPaint, which returns false to leave the painting to the widget itself.
class CStatic : public CWnd {
public:
    CStatic() = default;
    ~CStatic() override;
    CStatic(const CStatic&) = delete;
    CStatic& operator=(const CStatic&) = delete;
    void Attach(QWidget* widget) override;
    virtual bool OnPaint(QPainter& dc);

private:
    QObject* m_pPaintRouter = nullptr;
};

class CEdit : public CWnd {
public:
    void LimitText(int nChars);
};

class CButton : public CWnd {
public:
    int GetCheck() const;
    void SetCheck(int nCheck);
};
