/* The C entry point of a Tranvex component library. A library exports the five symbols below;
   Tranvex loads it with dlopen and never lets a C++ exception cross this boundary. */
#ifndef TRANVEX_COMPONENT_ABI_H
#define TRANVEX_COMPONENT_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TVX_COMPONENT_ABI_VERSION 1

enum TvxArgKind { TVX_ARG_STRING = 0, TVX_ARG_I2 = 1 };

/* One dispatch argument: a NUL-terminated UTF-8 string or a 16-bit signed integer. */
typedef struct TvxArg {
    int kind;        /* TvxArgKind */
    const char* str; /* TVX_ARG_STRING */
    int16_t i2;      /* TVX_ARG_I2 */
} TvxArg;

typedef struct TvxComponent TvxComponent; /* opaque, owned by the library */

/* Exported symbols, looked up by these names:
   int tvx_abi_version;                             must equal TVX_COMPONENT_ABI_VERSION
   TvxComponent* tvx_create(const char* clsid);     NULL when this library has no such class
   int tvx_invoke(TvxComponent*, int dispid, const TvxArg* args, int nargs, char** text);
        returns 0 and the answer in *text, or non-zero and an error text in *text;
        *text is allocated by the library and released with tvx_free_text
   void tvx_free_text(char* text);
   void tvx_release(TvxComponent*);                 */
typedef TvxComponent* (*TvxCreateFn)(const char* clsid);
typedef int (*TvxInvokeFn)(TvxComponent* component, int dispid, const TvxArg* args, int nargs, char** text);
typedef void (*TvxFreeTextFn)(char* text);
typedef void (*TvxReleaseFn)(TvxComponent* component);

#ifdef __cplusplus
}
#endif

#endif
