// The message box and its test hook.
#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxHook& CurrentMessageBoxHook() {
    static MessageBoxHook hook;
    return hook;
}

int AfxMessageBox(const CString& text, UINT type) {
    if (CurrentMessageBoxHook())
        return CurrentMessageBoxHook()(text, type);
    QMessageBox box(type & MB_ICONERROR ? QMessageBox::Critical : QMessageBox::NoIcon,
                    QApplication::applicationName(), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
    return IDOK;
}
