// AfxMessageBox: the modal OK message box every handler reports through, with a hook for tests.
#pragma once

#include <functional>

#include "platform/MfcTypes.h"

int AfxMessageBox(const CString& text, UINT type = MB_OK);

// While a hook is set, AfxMessageBox hands it the text and returns its answer instead of showing a box.
using MessageBoxHook = std::function<int(const CString& text, UINT type)>;

class CMessageBoxHookGuard {
public:
    explicit CMessageBoxHookGuard(MessageBoxHook hook);
    ~CMessageBoxHookGuard();
    CMessageBoxHookGuard(const CMessageBoxHookGuard&) = delete;
    CMessageBoxHookGuard& operator=(const CMessageBoxHookGuard&) = delete;

private:
    MessageBoxHook m_previous;
};
