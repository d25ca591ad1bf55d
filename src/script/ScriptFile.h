// CScriptFile: a transaction script opened for reading, only when its path names a regular file.
#pragma once

#include <istream>
#include <memory>
#include <streambuf>
#include <string>

class CScriptFile {
public:
    CScriptFile();
    ~CScriptFile();
    CScriptFile(const CScriptFile&) = delete;
    CScriptFile& operator=(const CScriptFile&) = delete;

    // False for anything but a regular file: a FIFO would block the window and a device such as
    // /dev/zero would never end. Neither is ever opened in a way that waits.
    bool Open(const std::string& path);
    std::istream& Stream() { return m_stream; }

private:
    std::unique_ptr<std::streambuf> m_pBuffer;
    std::istream m_stream{nullptr};
};
