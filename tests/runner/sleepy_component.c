/* A component library for the time-limit and stop tests: it approves every call, and a request
   whose TranCode is Sleep first waits TVX_SLEEP_MS milliseconds (default 3000). */
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "platform/ComponentAbi.h"

#define EXPORT __attribute__((visibility("default")))

struct TvxComponent {
    int unused;
};

static const char kApproval[] = "<?xml version=\"1.0\"?>\r\n<RStream><CmdResponse><CmdStatus>Approved</CmdStatus>"
                                "<TextResponse>APPROVED</TextResponse></CmdResponse></RStream>\r\n";

EXPORT const int tvx_abi_version = TVX_COMPONENT_ABI_VERSION;

EXPORT TvxComponent* tvx_create(const char* clsid) {
    (void)clsid;
    return calloc(1, sizeof(struct TvxComponent));
}

EXPORT int tvx_invoke(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text) {
    (void)component;
    (void)dispid;
    if (nargs > 0 && args[0].kind == TVX_ARG_STRING && args[0].str &&
        strstr(args[0].str, "<TranCode>Sleep</TranCode>")) {
        const char* ms = getenv("TVX_SLEEP_MS");
        const long n = ms ? atol(ms) : 3000;
        struct timespec wait = {n / 1000, (n % 1000) * 1000000L};
        while (nanosleep(&wait, &wait) != 0) {
        }
    }
    *text = malloc(sizeof kApproval);
    if (!*text)
        return 1;
    memcpy(*text, kApproval, sizeof kApproval);
    return 0;
}

EXPORT void tvx_free_text(char* text) {
    free(text);
}

EXPORT void tvx_release(TvxComponent* component) {
    free(component);
}
