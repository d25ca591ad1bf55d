// The C entry point of the network component library: one library for both payment controls, each
// tvx_create making the component of the row whose class identifier it is given.
#include <cstring>

#include "ComponentEntry.h"
#include "controls/PaymentTargets.h"
#include "net/NetComponent.h"

struct TvxComponent {
    tvxnet::CNetComponent net;
};

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
    return tvxentry::Invoke(component ? &component->net : nullptr, dispid, args, nargs, text);
}

TVX_EXPORT void tvx_free_text(char* text) {
    std::free(text);
}

TVX_EXPORT void tvx_release(TvxComponent* component) {
    delete component;
}
