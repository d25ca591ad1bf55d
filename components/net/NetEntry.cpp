// The C entry point of the network component library: one library for both payment controls, each
// tvx_create making the component of the row whose class identifier it is given.
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "controls/PaymentTargets.h"
#include "net/NetComponent.h"
#include "platform/ComponentAbi.h"

#define TVX_EXPORT extern "C" __attribute__((visibility("default")))

struct TvxComponent {
    tvxnet::CNetComponent net;
};

namespace {

char* Duplicate(const std::string& text) noexcept {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

} // namespace

TVX_EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION;

TVX_EXPORT TvxComponent* tvx_create(const char* clsid) {
    if (!clsid)
        return nullptr;
    for (const STargetInfo& target : kTargets) {
        if (std::strcmp(clsid, target.pszClsid) != 0)
            continue;
        try {
            return new TvxComponent{tvxnet::CNetComponent(target)};
        } catch (...) {
            return nullptr;
        }
    }
    return nullptr;
}

TVX_EXPORT int tvx_invoke(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text) {
    if (!text)
        return 1;
    *text = nullptr;
    try {
        if (!component)
            throw CDispatchError("No component.");
        if (nargs < 0 || (nargs > 0 && !args))
            throw CDispatchError("Invalid number of parameters.");
        DispArgs converted;
        converted.reserve(static_cast<std::size_t>(nargs));
        for (int i = 0; i < nargs; ++i) {
            if (args[i].kind == TVX_ARG_STRING)
                converted.emplace_back(std::string(args[i].str ? args[i].str : ""));
            else if (args[i].kind == TVX_ARG_I2)
                converted.emplace_back(args[i].i2);
            else
                throw CDispatchError("Type mismatch.");
        }
        *text = Duplicate(component->net.Invoke(dispid, converted));
        return *text ? 0 : 1;
    } catch (const std::bad_alloc&) {
        *text = Duplicate("Out of memory.");
    } catch (const std::exception& e) {
        *text = Duplicate(e.what());
    } catch (...) {
        *text = Duplicate("Unexpected failure.");
    }
    return 1;
}

TVX_EXPORT void tvx_free_text(char* text) {
    std::free(text);
}

TVX_EXPORT void tvx_release(TvxComponent* component) {
    delete component;
}
