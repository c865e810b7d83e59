#include "ui/report_relay.h"

#include "common/messages.h"

const wchar_t report_relay_class[] = L"ombup_report_relay";

namespace {

constexpr UINT UM_RELAY_RELEASE = WM_APP + 1;

LRESULT CALLBACK relay_procedure(HWND relay, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case UM_DOWNLOAD_PROGRESS: {
            auto* const target = reinterpret_cast<HWND>(GetWindowLongPtrW(relay, GWLP_USERDATA));
            return target != nullptr ? SendMessageW(target, message, wParam, lParam) : 0;
        }
        case UM_RELAY_RELEASE:
            DestroyWindow(relay);
            return 0;
        default:
            return DefWindowProcW(relay, message, wParam, lParam);
    }
}

bool register_relay_class(HINSTANCE instance) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = relay_procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = report_relay_class;
    return RegisterClassExW(&window_class) != 0 || GetClassInfoExW(instance, report_relay_class, &window_class);
}

}  // namespace

HWND create_report_relay(HWND target) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!register_relay_class(instance)) return nullptr;
    const HWND relay =
        CreateWindowExW(0, report_relay_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (relay != nullptr) SetWindowLongPtrW(relay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
    return relay;
}

void detach_report_relay(HWND relay) { SetWindowLongPtrW(relay, GWLP_USERDATA, 0); }

// Sent, not posted: a modal loop that ends as its dialog goes drops the
// message it was woken by, and a dropped release would keep the relay forever.
void release_report_relay(HWND relay) { SendMessageW(relay, UM_RELAY_RELEASE, 0, 0); }
