// AfxMessageBox: the modal OK message box every handler reports through, with a hook for tests.
#pragma once

#include <QDialog>
#include <functional>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class QPlainTextEdit;

int AfxMessageBox(const CString& text, UINT type = MB_OK);

// While a hook is set, AfxMessageBox hands it the text and returns its answer instead of showing a box.
using MessageBoxHook = std::function<int(const CString& text, UINT type)>;

MessageBoxHook& CurrentMessageBoxHook();

class CMessageBoxHookGuard : public CHookGuard<MessageBoxHook> {
public:
    explicit CMessageBoxHookGuard(MessageBoxHook hook)
        : CHookGuard<MessageBoxHook>(CurrentMessageBoxHook(), std::move(hook)) {}
};

// The box AfxMessageBox shows. XML is easier to read as it is: tab stops every four characters, lines
// broken only where the text breaks them, scroll bars once the text is larger than the screen. The
// text is shown unchanged, so what is copied from it is the text itself.
class CMessageBoxDlg : public QDialog {
public:
    CMessageBoxDlg(const CString& text, UINT type, QWidget* parent = nullptr);
    QPlainTextEdit* TextView() const { return m_pText; }

private:
    QPlainTextEdit* m_pText;
};
