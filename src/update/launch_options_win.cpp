#include <windows.h>

#include "common/system_function.h"
#include "update/installed_version.h"
#include "update/launch_options.h"

bool process_runs_under_wow64() {
    using is_wow64_process_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto is_wow64_process =
        find_system_function<is_wow64_process_fn>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
    BOOL under_wow64 = FALSE;
    return is_wow64_process != nullptr && is_wow64_process(GetCurrentProcess(), &under_wow64) &&
           under_wow64;
}

bool parse_launch_options(const wchar_t* command_line, int& bits,
                          version_code& installed_version, bool& p_flag, bool& silent) {
    if (command_line == nullptr || command_line[0] == L'\0') {
        p_flag = false;
        silent = false;
        bits = bits_for_system(process_runs_under_wow64());
        installed_version = get_installed_version(bits);
        return true;
    }
    return parse_explicit_launch_options(command_line, bits, installed_version, p_flag, silent);
}
