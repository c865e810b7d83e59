#include "ui/report_relay.h"

#include <new>
#include <utility>

#include "common/messages.h"

const wchar_t report_relay_class[] = L"ombup_report_relay";

namespace {

constexpr UINT UM_RELAY_RELEASE = WM_APP + 1;

struct relay_state_t {
    std::shared_ptr<data_response_t> record;
    report_handler_t handler = nullptr;
    void* context = nullptr;
};

relay_state_t* state_of(HWND relay) {
    return reinterpret_cast<relay_state_t*>(GetWindowLongPtrW(relay, GWLP_USERDATA));
}

LRESULT CALLBACK relay_procedure(HWND relay, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case UM_DOWNLOAD_PROGRESS: {
            relay_state_t* const state = state_of(relay);
            WPARAM total = 0;
            LPARAM current = 0;
            // A message without a held report is not the worker's; one that
            // comes first takes the worker's report early, with its values.
            if (state != nullptr && state->record->pending.take(total, current) && state->handler != nullptr)
                state->handler(state->context, total, current);
            return 0;
        }
        case UM_RELAY_RELEASE:
            DestroyWindow(relay);
            return 0;
        case WM_NCDESTROY:
            delete state_of(relay);
            SetWindowLongPtrW(relay, GWLP_USERDATA, 0);
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

HWND create_report_relay(std::shared_ptr<data_response_t> record, report_handler_t handler, void* context) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!record || !register_relay_class(instance)) return nullptr;
    std::unique_ptr<relay_state_t> state(new (std::nothrow) relay_state_t{std::move(record), handler, context});
    if (!state) return nullptr;
    const HWND relay =
        CreateWindowExW(0, report_relay_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (relay == nullptr) return nullptr;
    // The window owns its state from here: WM_NCDESTROY deletes it, which the
    // analyser cannot follow through the window's slot.
    SetWindowLongPtrW(relay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
    return relay;  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
}

void detach_report_relay(HWND relay) {
    relay_state_t* const state = state_of(relay);
    if (state == nullptr) return;
    state->handler = nullptr;
    state->context = nullptr;
}

// Sent, not posted: a modal loop that ends as its dialog goes drops the
// message it was woken by, and a dropped release would keep the relay forever.
void release_report_relay(HWND relay) { SendMessageW(relay, UM_RELAY_RELEASE, 0, 0); }
