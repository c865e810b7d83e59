#include "common/system_library.h"

#include <string>

void load_libraries_from_system_folder_only() {
    // Systems older than Windows 8 have this only with an update, so it is
    // looked up.
    using set_default_dll_directories_fn = BOOL(WINAPI*)(DWORD);
    const auto set_default_dll_directories = find_system_function<set_default_dll_directories_fn>(
        GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (set_default_dll_directories != nullptr) set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE load_system_library(const wchar_t* name) {
    // The search flags came with Windows 8 and an update to Windows 7; the
    // system that has them has AddDllDirectory.
    if (find_system_function<void (*)()>(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr)
        return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Otherwise the full path; with the altered search the DLL's own imports
    // are looked for first in its folder, not in the updater's.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L'\\' + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
