#pragma once
// Functions that only newer Windows versions have are looked up at run time.
#include <windows.h>

template <class Function>
Function find_system_function(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // Through a plain function pointer: a direct cast from FARPROC draws
    // -Wcast-function-type, and MSVC accepts both.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
