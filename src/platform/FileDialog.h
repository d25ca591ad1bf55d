// CFileDialog: the file-open dialog, with a hook for tests.
#pragma once

#include <functional>
#include <optional>

#include "platform/HookGuard.h"
#include "platform/MfcTypes.h"

class QWidget;

constexpr unsigned OFN_HIDEREADONLY = 0x4;
constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;

class CFileDialog {
public:
    // filter in the "Name (*.ext)|*.ext||" form
    CFileDialog(bool bOpenFileDialog, const char* defExt, const char* fileName, unsigned flags,
                const char* filter, QWidget* parent = nullptr);

    int DoModal(); // IDOK when a file was chosen, IDCANCEL otherwise
    CString GetPathName() const { return m_strPath; }

    CString m_strFileName; // initial file name
    CString m_strFilter;
    unsigned m_nFlags;

    // Returns the chosen full path, or nothing for a cancel.
    using Hook = std::function<std::optional<CString>(const CFileDialog& dialog)>;
    static Hook& CurrentHook();
    class HookGuard : public CHookGuard<Hook> {
    public:
        explicit HookGuard(Hook hook) : CHookGuard<Hook>(CurrentHook(), std::move(hook)) {}
    };

    // The Qt name filter made from m_strFilter ("XML Document (*.xml)").
    CString QtFilter() const;

private:
    QWidget* m_pParent;
    CString m_strPath;
};
