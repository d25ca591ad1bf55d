/* A minimal Tranvex component library: it approves every SubmitRequest (DISPID 1) with a fixed
   RStream answer and knows no other method. Build it as a shared library named after its class
   identifier, e.g. cc -shared -fPIC -I<tranvex>/src example_component.c
   -o "{0E5A7C11-4B2D-4C3E-9F10-2A3B4C5D6E7F}.so". */
#include <stdlib.h>
#include <string.h>

#include "platform/ComponentAbi.h"

#define EXAMPLE_CLSID "{0E5A7C11-4B2D-4C3E-9F10-2A3B4C5D6E7F}"
#define EXPORT __attribute__((visibility("default")))

struct TvxComponent {
    int calls; /* state lives in the component object, one per tvx_create */
};

static const char kApproval[] = "<?xml version=\"1.0\"?>\r\n"
                                "<RStream>\r\n"
                                "\t<CmdResponse>\r\n"
                                "\t\t<ResponseOrigin>Processor</ResponseOrigin>\r\n"
                                "\t\t<KVTXReturnCode>000000</KVTXReturnCode>\r\n"
                                "\t\t<CmdStatus>Approved</CmdStatus>\r\n"
                                "\t\t<TextResponse>APPROVED</TextResponse>\r\n"
                                "\t\t<UserTraceData></UserTraceData>\r\n"
                                "\t</CmdResponse>\r\n"
                                "</RStream>\r\n";

static char* copy_text(const char* text) {
    size_t size = strlen(text) + 1;
    char* copy = malloc(size);
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION;

EXPORT TvxComponent* tvx_create(const char* clsid) {
    if (!clsid || strcmp(clsid, EXAMPLE_CLSID) != 0)
        return NULL;
    return calloc(1, sizeof(TvxComponent));
}

EXPORT int tvx_invoke(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text) {
    if (dispid != 1) {
        *text = copy_text("Member not found.");
        return 1;
    }
    if (nargs != 4) {
        *text = copy_text("Invalid number of parameters.");
        return 1;
    }
    if (args[0].kind != TVX_ARG_STRING || args[1].kind != TVX_ARG_I2 || args[2].kind != TVX_ARG_STRING ||
        args[3].kind != TVX_ARG_STRING) {
        *text = copy_text("Type mismatch.");
        return 1;
    }
    component->calls++;
    *text = copy_text(kApproval);
    return *text ? 0 : 1;
}

EXPORT void tvx_free_text(char* text) {
    free(text);
}

EXPORT void tvx_release(TvxComponent* component) {
    free(component);
}
