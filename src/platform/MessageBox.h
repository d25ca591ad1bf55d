// AfxMessageBox: the modal OK message box every handler reports through, with a hook for tests.
#pragma once

#include <functional>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

int AfxMessageBox(const CString& text, UINT type = MB_OK);

// While a hook is set, AfxMessageBox hands it the text and returns its answer instead of showing a box.
using MessageBoxHook = std::function<int(const CString& text, UINT type)>;

MessageBoxHook& CurrentMessageBoxHook();

class CMessageBoxHookGuard : public CHookGuard<MessageBoxHook> {
public:
    explicit CMessageBoxHookGuard(MessageBoxHook hook)
        : CHookGuard<MessageBoxHook>(CurrentMessageBoxHook(), std::move(hook)) {}
};
