// The two editor buttons: open the script in a text editor and wait for it; one reloads afterwards.
#include "app/TranvexDlg.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "tools/TextEditor.h"

namespace {

// False when no editor could be started.
bool EditAndWait(const CString& file, QWidget* pWindow) {
    CEditorCommand command;
    return FindTextEditor(file, command) && RunAndWait(command.strProgram, command.arrArgs, pWindow);
}

} // namespace

void CTranvexDlg::OnEditAndReload() {
    if (!EditAndWait(m_strXmlPath, this)) {
        AfxMessageBox("Create Failed Looking for 'Notepad.EXE'");
        return;
    }
    OnReloadFile();
}

void CTranvexDlg::OnOpenInEditor() {
    if (!EditAndWait(m_strXmlPath, this))
        AfxMessageBox("Create Failed Looking for 'NotePad.EXE'");
}
