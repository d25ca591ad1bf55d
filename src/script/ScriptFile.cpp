// Opening a script: stat first so that FIFOs and devices are never opened, then open without
// waiting and check again on the open file, in case the path changed in between.
#include "script/ScriptFile.h"

#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsRegular(const struct stat& st) {
    return S_ISREG(st.st_mode);
}

} // namespace

CScriptFile::CScriptFile() = default;

CScriptFile::~CScriptFile() = default; // the buffer closes the file

bool CScriptFile::Open(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !IsRegular(st))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (::fstat(fd, &st) != 0 || !IsRegular(st)) {
        ::close(fd);
        return false;
    }
    // O_NONBLOCK changes nothing for a regular file; the buffer owns the descriptor from here on.
    m_pBuffer = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::in);
    m_stream.rdbuf(m_pBuffer.get());
    m_stream.clear();
    return true;
}
