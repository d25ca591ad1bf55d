// The message box and its test hook.
#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MessageBoxHook& CurrentHook() {
    static MessageBoxHook hook;
    return hook;
}
} // namespace

int AfxMessageBox(const CString& text, UINT type) {
    if (CurrentHook())
        return CurrentHook()(text, type);
    QMessageBox box(type & MB_ICONERROR ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QApplication::applicationName(), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
    return IDOK;
}

CMessageBoxHookGuard::CMessageBoxHookGuard(MessageBoxHook hook) : m_previous(std::move(CurrentHook())) {
    CurrentHook() = std::move(hook);
}

CMessageBoxHookGuard::~CMessageBoxHookGuard() { CurrentHook() = std::move(m_previous); }
