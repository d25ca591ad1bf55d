// The C entry point of the simulated component libraries. Built once per row of the target list:
// TVX_SIM_TARGET names the row whose class identifier the library creates.
#include <cstring>

#include "ComponentEntry.h"
#include "controls/PaymentTargets.h"
#include "sim/SimComponent.h"

#ifndef TVX_SIM_TARGET
#error "TVX_SIM_TARGET must name a payment target"
#endif

struct TvxComponent {
    tvxsim::CSimComponent sim;
};

TVX_EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION;

TVX_EXPORT TvxComponent* tvx_create(const char* clsid) {
    // A name not in the list does not compile: the reference would be to no row.
    static constexpr const STargetInfo& own = *FindTargetNamed(TVX_SIM_TARGET);
    if (!clsid || std::strcmp(clsid, own.pszClsid) != 0)
        return nullptr;
    try {
        return new TvxComponent{tvxsim::CSimComponent(own)};
    } catch (...) {
        return nullptr;
    }
}

TVX_EXPORT int tvx_invoke(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text) {
    return tvxentry::Invoke(component ? &component->sim : nullptr, dispid, args, nargs, text);
}

TVX_EXPORT void tvx_free_text(char* text) {
    std::free(text);
}

TVX_EXPORT void tvx_release(TvxComponent* component) {
    delete component;
}
