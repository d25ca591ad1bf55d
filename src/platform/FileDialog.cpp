// The file-open dialog and its test hook.
#include "platform/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

CFileDialog::CFileDialog(bool, const char*, const char* fileName, unsigned flags, const char* filter,
                         QWidget* parent)
    : m_strFileName(fileName ? fileName : ""), m_strFilter(filter ? filter : ""), m_nFlags(flags),
      m_pParent(parent) {}

CFileDialog::Hook& CFileDialog::CurrentHook() {
    static Hook hook;
    return hook;
}

CString CFileDialog::QtFilter() const {
    // "Name|pattern|Name|pattern||" becomes "Name;;Name" (the names already show their patterns).
    CString result;
    size_t pos = 0;
    bool isName = true;
    while (pos < m_strFilter.size()) {
        size_t bar = m_strFilter.find('|', pos);
        CString part = m_strFilter.substr(pos, bar == CString::npos ? CString::npos : bar - pos);
        if (isName && !part.empty())
            result += (result.empty() ? "" : ";;") + part;
        isName = !isName;
        if (bar == CString::npos)
            break;
        pos = bar + 1;
    }
    return result;
}

int CFileDialog::DoModal() {
    std::optional<CString> chosen;
    if (CurrentHook()) {
        chosen = CurrentHook()(*this);
    } else {
        QString path = QFileDialog::getOpenFileName(m_pParent, QString(), QString::fromStdString(m_strFileName),
                                                    QString::fromStdString(QtFilter()));
        if (!path.isEmpty())
            chosen = QFileInfo(path).absoluteFilePath().toStdString();
    }
    if (!chosen)
        return IDCANCEL;
    m_strPath = *chosen;
    return IDOK;
}
