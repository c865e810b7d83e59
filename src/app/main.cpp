#include <windows.h>

#include "app/control_window.h"
#include "app/update_session.h"
#include "common/system_function.h"
#include "common/system_library.h"
#include "resource.h"

namespace {

void make_process_dpi_aware() {
    using set_process_dpi_aware_fn = BOOL(WINAPI*)();
    const auto set_process_dpi_aware =
        find_system_function<set_process_dpi_aware_fn>(LoadLibraryW(L"User32.dll"), "SetProcessDPIAware");
    if (set_process_dpi_aware != nullptr) set_process_dpi_aware();
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the system header's own names
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR command_line, int) {
    load_libraries_from_system_folder_only();
    make_process_dpi_aware();
    LoadStringW(instance, IDS_APP_TITLE, app_title, 64);
    LoadStringW(instance, IDS_WINDOW_CLASS, window_class_name, 64);

    // One updater at a time: a running one is known by its window's class.
    if (FindWindowW(window_class_name, nullptr) != nullptr) return 0;
    register_control_window_class(instance);
    if (!create_control_window(instance)) return 0;

    run_update_session(instance, command_line);

    const HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN));
    MSG message{};
    // GetMessageW gives -1 on an error, which must end the loop too.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(message.hwnd, accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
