// What the C entry points of our component libraries share: the arguments turned into DispArgs,
// every failure turned into an error text, and the text handed out as a malloc'ed copy.
#pragma once

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "platform/Component.h"
#include "platform/ComponentAbi.h"

#define TVX_EXPORT extern "C" __attribute__((visibility("default")))

namespace tvxentry {

inline char* Duplicate(const std::string& text) noexcept {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// The body of tvx_invoke: invoke(dispid, args) is the component's own Invoke, or null when there
// is no component. Returns 0 with the answer in *text, else 1 with the error text there.
template <typename Component>
int Invoke(Component* component, int dispid, const TvxArg* args, int nargs, char** text) {
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
        *text = Duplicate(component->Invoke(dispid, converted));
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

} // namespace tvxentry
