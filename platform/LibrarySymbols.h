#pragma once

#include <dlfcn.h>

namespace platform {

// Points `function` at entry point `name` of a library opened with dlopen; false when the
// library has no such entry. Calling a variadic entry point through its own pointer type is the
// ordinary call.
template <typename Function>
bool resolveSymbol(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

} // namespace platform
