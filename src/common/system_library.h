#pragma once
// System DLLs that are not among the KnownDLLs (winhttp, version, wintrust,
// crypt32). Imported, they would be looked for beside the updater first, in a
// folder that others may be able to write, and run inside it, maybe elevated.
// So they are loaded by name from the system folder and called through a
// table of typed pointers per DLL, bound once; a table is null when its DLL
// or any of its functions is missing, and the step that needs it fails.
#include <windows.h>

#include <optional>

#include "common/system_function.h"

// What the system loads on the program's behalf from now on (the shell's
// helpers for ShellExecuteW, crypt32's own) comes from the system folder and
// never from the program's, which others may be able to write. The first
// thing a program does.
void load_libraries_from_system_folder_only();

// The DLL from the system folder alone, and the DLLs it imports; null when it
// is not there. What it loads later by name is its own affair (see
// net/winhttp_api.cpp).
HMODULE load_system_library(const wchar_t* name);

template <class Function>
bool bind_system_function(HMODULE module, Function& function, const char* name) {
    function = find_system_function<Function>(module, name);
    return function != nullptr;
}

// table.name = the export of that name; false when there is none.
#define BIND_SYSTEM_FUNCTION(module, table, name) bind_system_function((module), (table).name, #name)

// The table of the DLL, filled by bind_all(module, table), or nothing when
// the DLL or a function is missing.
template <class Table, class BindAll>
std::optional<Table> bind_system_table(const wchar_t* dll, BindAll bind_all) {
    const HMODULE module = load_system_library(dll);
    Table table{};
    if (module == nullptr || !bind_all(module, table)) return std::nullopt;
    return table;
}
