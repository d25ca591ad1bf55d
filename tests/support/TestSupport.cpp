// The test folders' shared helpers.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tvxtest {

CTempDir::CTempDir(EEnter enter) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tranvex-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        ADD_FAILURE() << "cannot make a temporary folder";
        return;
    }
    m_path = pattern;
    if (enter == eEnter) {
        m_saved = std::filesystem::current_path();
        std::filesystem::current_path(m_path);
    }
}

CTempDir::~CTempDir() {
    std::error_code ec;
    if (!m_saved.empty())
        std::filesystem::current_path(m_saved, ec);
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace tvxtest
