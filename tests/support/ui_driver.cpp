#include "ui_driver.h"

#include <algorithm>

#include "common/messages.h"
#include "test_env.h"
#include "ui/report_relay.h"

namespace {

std::wstring window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

}  // namespace

HWND find_dialog(const std::wstring& caption) {
    // FindWindowW compares titles without regard to case, and the updater's
    // boxes say "OmBry" where the dialog's cancel question says "Ombry".
    HWND found = nullptr;
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
        // A box is made visible only once its controls and texts are set.
        if (IsWindowVisible(window) && window_text(window) == caption) {
            found = window;
            break;
        }
    }
    return found;
}

bool wait_until_windows_change_to(const std::function<bool()>& condition, DWORD timeout_ms) {
    // Each event of the hook comes as a message, which ends the wait; the
    // hook's procedure has nothing left to do.
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_CREATE, EVENT_OBJECT_NAMECHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) CALLBACK {}, 0, 0, WINEVENT_OUTOFCONTEXT);
    const ULONGLONG give_up_at = GetTickCount64() + timeout_ms;
    bool held = false;
    for (;;) {
        if ((held = condition())) break;
        const ULONGLONG now = GetTickCount64();
        if (now >= give_up_at) break;
        // Asked again at least this often, whatever the system tells.
        constexpr ULONGLONG at_least_every_ms = 250;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(give_up_at - now, at_least_every_ms)),
                                  QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    }
    if (hook != nullptr) UnhookWinEvent(hook);
    return held;
}

HWND wait_for_dialog(const std::wstring& caption, DWORD timeout_ms) {
    HWND dialog = nullptr;
    wait_until_windows_change_to([&] { return (dialog = find_dialog(caption)) != nullptr; }, timeout_ms);
    return dialog;
}

bool wait_until_gone(HWND window, DWORD timeout_ms) {
    return wait_until_windows_change_to([&] { return !IsWindow(window); }, timeout_ms);
}

std::wstring message_box_text(HWND box) { return window_text(GetDlgItem(box, 0xFFFF)); }

HWND owner_window(HWND window) { return GetWindow(window, GW_OWNER); }

std::wstring window_class_name(HWND window) {
    wchar_t name[256];
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

bool has_control(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }

void press_button(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<HWND> top_level_windows(const std::wstring& class_name, DWORD process_id) {
    struct search_t {
        const std::wstring* class_name;
        DWORD process_id;
        std::vector<HWND> found;
    } search{&class_name, process_id, {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
            auto& wanted = *reinterpret_cast<search_t*>(parameter);
            DWORD owner_process = 0;
            GetWindowThreadProcessId(window, &owner_process);
            if (owner_process == wanted.process_id && window_class_name(window) == *wanted.class_name)
                wanted.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void forge_download_reports(HWND dialog) {
    std::vector<HWND> targets{dialog};
    for (HWND relay = FindWindowExW(HWND_MESSAGE, nullptr, report_relay_class, nullptr); relay != nullptr;
         relay = FindWindowExW(HWND_MESSAGE, relay, report_relay_class, nullptr))
        targets.push_back(relay);
    const struct {
        WPARAM total;
        LPARAM current;
    } forged[] = {{static_cast<WPARAM>(-1), 0}, {100, 100}, {5, 5}, {1000, 500}};
    for (const auto& report : forged) {
        for (HWND target : targets) {
            SendMessageW(target, UM_DOWNLOAD_PROGRESS, report.total, report.current);
            PostMessageW(target, UM_DOWNLOAD_PROGRESS, report.total, report.current);
        }
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(HWND_BROADCAST, UM_DOWNLOAD_PROGRESS, report.total, report.current, SMTO_NORMAL, 5000,
                            &ignored);
    }
}
