#include "app/control_window.h"

#include "common/messages.h"
#include "common/system_function.h"
#include "resource.h"

wchar_t app_title[64];
wchar_t window_class_name[64];
HWND control_window = nullptr;

namespace {

// Lets the close request through user-interface privilege isolation, so that
// a product running at a lower integrity level can still close the updater.
void allow_close_request_from_lower_integrity() {
    using change_window_message_filter_fn = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD msgflt_add = 1;
    const auto change_window_message_filter = find_system_function<change_window_message_filter_fn>(
        LoadLibraryW(L"user32.dll"), "ChangeWindowMessageFilter");
    if (change_window_message_filter != nullptr) change_window_message_filter(UM_CLOSE_REQUEST, msgflt_add);
}

}  // namespace

void register_control_window_class(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = control_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    window_class.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN);
    window_class.lpszClassName = window_class_name;
    window_class.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&window_class);
}

BOOL create_control_window(HINSTANCE instance) {
    control_window = CreateWindowExW(0, window_class_name, app_title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                     CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
    if (control_window == nullptr) return FALSE;
    ShowWindow(control_window, SW_HIDE);
    UpdateWindow(control_window);
    allow_close_request_from_lower_integrity();
    return TRUE;
}

LRESULT CALLBACK control_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDM_EXIT) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case UM_CLOSE_REQUEST:
            if (wParam == CLOSE_REQUEST_CODE) DestroyWindow(window);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
