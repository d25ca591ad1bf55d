// Finds, opens and wraps component libraries: <folder>/<clsid>.so behind the C entry point.
#include "platform/ComponentLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/ComponentAbi.h"

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(folder, ec);
    return ec ? folder : abs.lexically_normal().string();
}

std::string ProgramFolder() {
    // Looked up once: a load run makes a component for every fresh session.
    static const std::string folder = [] {
        std::error_code ec;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::string() : exe.parent_path().string();
    }();
    return folder;
}

std::string LastDlError() {
    const char* text = ::dlerror();
    return text ? text : "unknown error";
}

// A component that lives in an open library: the handle stays open until the component is gone.
class CLibraryComponent : public IComponent {
public:
    CLibraryComponent(std::string clsid, void* handle, TvxComponent* component, TvxInvokeFn invoke,
                      TvxFreeTextFn freeText, TvxReleaseFn release)
        : m_strClsid(std::move(clsid)), m_hLibrary(handle), m_pComponent(component), m_pfnInvoke(invoke),
          m_pfnFreeText(freeText), m_pfnRelease(release) {}

    ~CLibraryComponent() override {
        m_pfnRelease(m_pComponent);
        ::dlclose(m_hLibrary);
    }

    CLibraryComponent(const CLibraryComponent&) = delete;
    CLibraryComponent& operator=(const CLibraryComponent&) = delete;

    std::string Invoke(int dispid, const DispArgs& args) override {
        std::vector<TvxArg> raw;
        raw.reserve(args.size());
        for (const DispArg& arg : args) {
            TvxArg item{};
            if (const auto* text = std::get_if<std::string>(&arg)) {
                item.kind = TVX_ARG_STRING;
                item.str = text->c_str();
            } else {
                item.kind = TVX_ARG_I2;
                item.i2 = std::get<std::int16_t>(arg);
            }
            raw.push_back(item);
        }
        char* text = nullptr;
        int rc = m_pfnInvoke(m_pComponent, dispid, raw.data(), static_cast<int>(raw.size()), &text);
        std::string answer = text ? text : "";
        if (text)
            m_pfnFreeText(text);
        if (rc != 0) {
            if (answer.empty())
                answer = "Component " + m_strClsid + " failed with error " + std::to_string(rc) + ".";
            throw CDispatchError(answer);
        }
        return answer;
    }

private:
    std::string m_strClsid;
    void* m_hLibrary;
    TvxComponent* m_pComponent;
    TvxInvokeFn m_pfnInvoke;
    TvxFreeTextFn m_pfnFreeText;
    TvxReleaseFn m_pfnRelease;
};

std::unique_ptr<IComponent> Unavailable(const std::string& clsid, const std::string& reason) {
    return std::make_unique<CMissingComponent>("Component " + clsid + " is not available: " + reason);
}

// An open library with every entry point found; an empty handle and the reason when not.
struct SEntryPoints {
    void* handle = nullptr;
    TvxCreateFn create = nullptr;
    TvxInvokeFn invoke = nullptr;
    TvxFreeTextFn freeText = nullptr;
    TvxReleaseFn release = nullptr;
    std::string strProblem;
};

SEntryPoints OpenEntryPoints(const std::string& path) {
    SEntryPoints entry;
    if (!IsRegularFile(path)) {
        entry.strProblem = "no library " + path;
        return entry;
    }
    ::dlerror();
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        entry.strProblem = "cannot open " + path + ": " + LastDlError();
        return entry;
    }
    const auto* version = static_cast<const int*>(::dlsym(handle, "tvx_abi_version"));
    entry.create = reinterpret_cast<TvxCreateFn>(::dlsym(handle, "tvx_create"));
    entry.invoke = reinterpret_cast<TvxInvokeFn>(::dlsym(handle, "tvx_invoke"));
    entry.freeText = reinterpret_cast<TvxFreeTextFn>(::dlsym(handle, "tvx_free_text"));
    entry.release = reinterpret_cast<TvxReleaseFn>(::dlsym(handle, "tvx_release"));
    const char* missing = !version          ? "tvx_abi_version"
                          : !entry.create   ? "tvx_create"
                          : !entry.invoke   ? "tvx_invoke"
                          : !entry.freeText ? "tvx_free_text"
                          : !entry.release  ? "tvx_release"
                                            : nullptr;
    if (missing)
        entry.strProblem = std::string("entry point ") + missing + " is missing";
    else if (*version != TVX_COMPONENT_ABI_VERSION)
        entry.strProblem = "interface version " + std::to_string(*version) + " is not the expected " +
                           std::to_string(TVX_COMPONENT_ABI_VERSION);
    if (!entry.strProblem.empty()) {
        ::dlclose(handle);
        entry.strProblem += " (" + path + ")";
        return entry;
    }
    entry.handle = handle;
    return entry;
}

} // namespace

bool IsClassIdentifier(const std::string& clsid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    if (clsid.size() != 38 || clsid.front() != '{' || clsid.back() != '}')
        return false;
    for (std::size_t i = 1; i < 37; ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        unsigned char c = static_cast<unsigned char>(clsid[i]);
        if (dash ? c != '-' : !std::isxdigit(c))
            return false;
    }
    return true;
}

std::vector<std::string> ComponentSearchPath() {
    std::vector<std::string> folders;
    if (const char* env = std::getenv("TRANVEX_COMPONENT_PATH")) {
        std::string list = env;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                folders.push_back(AbsoluteFolder(list.substr(start, end - start)));
            start = end + 1;
        }
    }
    const std::string program = ProgramComponentFolder();
    if (!program.empty())
        folders.push_back(program);
    return folders;
}

std::string ProgramComponentFolder() {
    const std::string program = ProgramFolder();
    return program.empty() ? std::string() : program + "/components";
}

std::unique_ptr<IComponent> LoadComponentLibrary(const std::string& clsid) {
    if (!IsClassIdentifier(clsid))
        return Unavailable("\"" + clsid + "\"", "the class identifier is not a braced GUID");

    std::string searched;
    for (const std::string& folder : ComponentSearchPath()) {
        const std::string candidate = folder + "/" + clsid + ".so";
        if (IsRegularFile(candidate))
            return LoadComponentFrom(candidate, clsid);
        searched += (searched.empty() ? "" : ":") + folder;
    }
    return Unavailable(clsid,
                       "no library " + clsid + ".so in " + (searched.empty() ? "(no folders)" : searched));
}

std::unique_ptr<IComponent> LoadComponentFrom(const std::string& path, const std::string& clsid) {
    SEntryPoints entry = OpenEntryPoints(path);
    if (!entry.handle)
        return Unavailable(clsid, entry.strProblem);
    TvxComponent* component = entry.create(clsid.c_str());
    if (!component) {
        ::dlclose(entry.handle);
        return Unavailable(clsid, "the library does not create this class (" + path + ")");
    }
    return std::make_unique<CLibraryComponent>(clsid, entry.handle, component, entry.invoke, entry.freeText,
                                               entry.release);
}

std::string ComponentLibraryProblem(const std::string& path) {
    SEntryPoints entry = OpenEntryPoints(path);
    if (entry.handle)
        ::dlclose(entry.handle);
    return entry.strProblem;
}
