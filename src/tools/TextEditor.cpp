// Finding the text editor on PATH.
#include "tools/TextEditor.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct CKnownEditor {
    const char* pszName;
    const char* pszWaitOption; // makes a single-instance editor keep its own process till closed
};

// In order of preference; the README lists them.
constexpr CKnownEditor kKnownEditors[] = {
    {"gnome-text-editor", "--standalone"},
    {"gedit", "--standalone"},
    {"mousepad", nullptr},
    {"pluma", nullptr},
    {"xed", nullptr},
    {"kwrite", nullptr},
    {"kate", "--block"},
    {"featherpad", nullptr},
    {"leafpad", nullptr},
    {"geany", "--new-instance"},
};

bool IsExecutableFile(const CString& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A name with a slash is taken as it is; otherwise the first executable of that name on PATH.
CString FindProgram(const CString& name) {
    if (name.find('/') != CString::npos)
        return IsExecutableFile(name) ? name : CString();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (true) {
        const std::size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) {
            const CString candidate = CString(dir) + "/" + name;
            if (IsExecutableFile(candidate))
                return candidate;
        }
        if (colon == std::string_view::npos)
            return CString();
        dirs.remove_prefix(colon + 1);
    }
}

CString AbsolutePath(const CString& file) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file : absolute.string();
}

} // namespace

bool FindTextEditor(const CString& file, CEditorCommand& command) {
    command = CEditorCommand();
    if (const char* chosen = std::getenv("TRANVEX_EDITOR"); chosen && *chosen) {
        command.strProgram = FindProgram(chosen);
    } else {
        for (const CKnownEditor& editor : kKnownEditors) {
            command.strProgram = FindProgram(editor.pszName);
            if (command.strProgram.empty())
                continue;
            if (editor.pszWaitOption)
                command.arrArgs.push_back(editor.pszWaitOption);
            break;
        }
    }
    if (command.strProgram.empty())
        return false;
    if (!file.empty())
        command.arrArgs.push_back(AbsolutePath(file));
    return true;
}
