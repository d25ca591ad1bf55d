/* The component libraries' C entry point now lives with the loader in the platform layer; this name
   stays for libraries built against it. */
#include "platform/ComponentAbi.h"
