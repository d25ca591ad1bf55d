/* Deliberately faulty component libraries for the loader tests: one macro picks the fault. */
#include <stdlib.h>
#include <string.h>

#include "platform/ComponentAbi.h"

#define EXPORT __attribute__((visibility("default")))

struct TvxComponent {
    int unused;
};

#ifdef BROKEN_VERSION
EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION + 98;
#else
EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION;
#endif

EXPORT TvxComponent* tvx_create(const char* clsid) {
    (void)clsid;
#ifdef BROKEN_CREATE_NULL
    return NULL;
#else
    return calloc(1, sizeof(TvxComponent));
#endif
}

/* Fails every call without an error text. */
EXPORT int tvx_invoke(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text) {
    (void)component;
    (void)dispid;
    (void)args;
    (void)nargs;
    *text = NULL;
    return 7;
}

EXPORT void tvx_free_text(char* text) {
    free(text);
}

#ifndef BROKEN_NO_RELEASE
EXPORT void tvx_release(TvxComponent* component) {
    free(component);
}
#endif
