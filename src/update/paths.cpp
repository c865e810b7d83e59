#include "update/paths.h"

#include <windows.h>

#include "common/decimal_text.h"

std::wstring get_module_path() {
    // The longest path Windows knows is 32767 units; a result that fills the
    // buffer was cut short, so grow and ask again.
    constexpr std::size_t longest_path = 32768;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= longest_path) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring get_module_directory() {
    std::wstring path = get_module_path();
    const std::size_t separator = path.find_last_of(L'\\');
    path.resize(separator == std::wstring::npos ? 0 : separator);
    return path;
}

std::wstring get_installed_exe_path(int bits) {
    return get_module_directory() + L"\\OmBry" + decimal_text(bits) + L".exe";
}
