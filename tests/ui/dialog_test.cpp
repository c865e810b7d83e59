#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/messages.h"
#include "release_host.h"
#include "resource.h"
#include "test_env.h"
#include "ui/download_dlg.h"
#include "ui/report_relay.h"
#include "ui_driver.h"

namespace {

const wchar_t download_caption[] = L"Dowloading OmBry";
const wchar_t question_caption[] = L"Ombry - Auto update";
const std::wstring question_text = widen_utf8("Bạn có muốn dừng ?");

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

std::string as_string(const std::vector<char>& data) { return std::string(data.begin(), data.end()); }

// What a user does at the screen, from another thread while the test thread
// runs the modal dialog.
class user_at_screen {
public:
    template <class Steps>
    explicit user_at_screen(Steps steps) : thread_(steps) {}
    ~user_at_screen() { thread_.join(); }

private:
    std::thread thread_;
};

HWND wait_for_download_dialog() { return wait_for_dialog(download_caption); }

// Presses Cancel in the dialog and returns the question it asks.
HWND ask_to_cancel(HWND dialog) {
    press_button(dialog, IDCANCEL);
    return wait_for_dialog(question_caption);
}

bool relay_exists() { return FindWindowExW(HWND_MESSAGE, nullptr, report_relay_class, nullptr) != nullptr; }

void pump_messages_until(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG give_up_at = GetTickCount64() + timeout_ms;
    while (!done() && GetTickCount64() < give_up_at) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

TEST(MyDlg, RoutesTheDialogsMessagesToItsObject) {
    struct recording_dlg : c_my_dlg {
        HWND window_at_init = nullptr;
        LONG_PTR slot_at_init = 0;
        WPARAM command_wparam = 0;
        LPARAM command_lparam = 0;
        bool destroyed = false;

        INT_PTR on_init_dialog() override {
            window_at_init = hwnd;
            slot_at_init = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
            PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(4321, 7), 0x1234);
            return c_my_dlg::on_init_dialog();
        }
        INT_PTR on_command(WPARAM wParam, LPARAM lParam) override {
            command_wparam = wParam;
            command_lparam = lParam;
            DestroyWindow(hwnd);
            return TRUE;
        }
        INT_PTR on_destroy() override {
            destroyed = true;
            return c_my_dlg::on_destroy();
        }
    } dialog;
    dialog.instance = GetModuleHandleW(nullptr);
    dialog.template_id = IDD_ABOUTBOX;
    dialog.do_modal();

    EXPECT_NE(dialog.window_at_init, nullptr);
    EXPECT_EQ(dialog.slot_at_init, reinterpret_cast<LONG_PTR>(static_cast<c_my_dlg*>(&dialog)));
    EXPECT_EQ(dialog.command_wparam, MAKEWPARAM(4321, 7));
    EXPECT_EQ(dialog.command_lparam, 0x1234);
    EXPECT_TRUE(dialog.destroyed);
    // The destroying messages still went through dialog_proc, which keeps
    // storing the handle; the object stays readable after the window.
    EXPECT_EQ(dialog.hwnd, dialog.window_at_init);
    EXPECT_FALSE(IsWindow(dialog.hwnd));
}

TEST(MyDlg, TheBaseHandlersAndMessagesBeforeInitialisation) {
    c_my_dlg plain;
    EXPECT_EQ(plain.on_init_dialog(), TRUE);
    EXPECT_EQ(plain.on_command(MAKEWPARAM(IDOK, 0), 0), FALSE);
    EXPECT_EQ(plain.on_destroy(), FALSE);
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(plain.dialog_proc(window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(plain.hwnd, window);
    // No object is bound before WM_INITDIALOG: the dialog manager handles it.
    EXPECT_EQ(shared_dialog_proc(window, WM_SETFONT, 0, 0), 0);
    DestroyWindow(window);
}

TEST(DownloadDialog, ConstructionSelectsTheTemplateAndStartsEmpty) {
    c_download_dlg dialog("https://localhost/x", GetModuleHandleW(nullptr), HWND_DESKTOP);
    EXPECT_EQ(dialog.template_id, 129);
    EXPECT_EQ(dialog.total, 0);
    EXPECT_EQ(dialog.current, -1);
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_EQ(dialog.url, "https://localhost/x");
    EXPECT_TRUE(dialog.response->data.empty());
}

TEST(DownloadDialog, ATemplateThatCannotBeCreatedLeavesTheFieldsAsConstructed) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(1000));
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    dialog.template_id = 4242;  // no such dialog in this program
    EXPECT_EQ(dialog.do_modal(), -1);
    EXPECT_EQ(dialog.total, 0);
    EXPECT_EQ(dialog.current, -1);
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_TRUE(requests_to(path).empty());
}

TEST(DownloadDialog, ACompleteDownloadLeavesTheWholeFile) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(300000);
    serve(path, bytes, R"({"body": {"chunks": [20000, 100000]}})");
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    dialog.do_modal();
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 300000);
    EXPECT_EQ(dialog.current, 300000);
    EXPECT_EQ(as_string(dialog.received), bytes);
    EXPECT_EQ(dialog.hwnd, nullptr);
}

TEST(DownloadDialog, AFailedDownloadReadsAsFailedEvenAfterProgress) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(50000), R"({"body": {"close_after": 30000, "chunks": [10000]}})");
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    dialog.do_modal();
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 0);
    EXPECT_EQ(dialog.current, -1);
    EXPECT_TRUE(dialog.received.empty());
}

TEST(DownloadDialog, ABodyThatRunsPastTheAnnouncedSizeIsAFailedDownload) {
    // The probe announces 4000 bytes; the body declares 9000 and sends them.
    // Its first 4000 bytes are no whole download: the worker reports no
    // progress at the announced size, and the dialog waits for its end report.
    const std::string path = test_path("OmBry64.exe");
    serve(test_path("announced.bin"), patterned_bytes(4000, 5));
    serve(path, patterned_bytes(9000), R"({"probe": {"file": "announced.bin"}})");
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    dialog.do_modal();
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 0);
    EXPECT_EQ(dialog.current, -1);
    EXPECT_TRUE(dialog.received.empty());
    pump_messages_until([] { return !relay_exists(); }, 60000);
    EXPECT_FALSE(relay_exists()) << "the worker did not let its relay go";
}

// The host holds such a body back until the test lets it go on (release_held_body).
const std::string held_body = R"({"body": {"chunks": [10000], "hold_until": "go.flag"}})";

TEST(DownloadDialog, CancelAnsweredNoGoesOn) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(200000);
    serve(path, bytes, held_body);
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    HWND question = nullptr, question_owner = nullptr, download_window = nullptr;
    bool asks_yes_or_no = false;
    std::wstring text;
    {
        user_at_screen user([&] {
            download_window = wait_for_download_dialog();
            press_button(download_window, IDOK);  // Enter does nothing
            question = ask_to_cancel(download_window);
            if (question == nullptr) return;
            text = message_box_text(question);
            question_owner = owner_window(question);
            asks_yes_or_no = has_control(question, IDYES) && has_control(question, IDNO);
            press_button(question, IDNO);
            release_held_body(test_path("go.flag"));
        });
        dialog.do_modal();
    }
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(text, question_text);
    EXPECT_EQ(question_owner, download_window);
    EXPECT_TRUE(asks_yes_or_no);
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 200000);
    EXPECT_EQ(dialog.current, 200000);
    EXPECT_EQ(as_string(dialog.received), bytes);
}

TEST(DownloadDialog, CancelAnsweredYesClosesAtOnceWhileTheHostStillSends) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(2000000), R"({"body": {"rate": 10000}})");  // minutes to send
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    clock_type::time_point answered{};
    {
        user_at_screen user([&] {
            const HWND question = ask_to_cancel(wait_for_download_dialog());
            if (question == nullptr) return;
            answered = clock_type::now();
            press_button(question, IDYES);
        });
        dialog.do_modal();
    }
    ASSERT_NE(answered, clock_type::time_point{});
    EXPECT_LT(seconds_since(answered), 60.0);  // not the minutes the transfer takes
    EXPECT_EQ(dialog.completed, 0);
    EXPECT_TRUE(dialog.received.empty());
    EXPECT_EQ(dialog.hwnd, nullptr);
}

TEST(DownloadDialog, AReportThatClosesTheDialogTakesTheQuestionWithIt) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(150000);
    serve(path, bytes, held_body);
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    HWND question = nullptr;
    {
        user_at_screen user([&] {
            question = ask_to_cancel(wait_for_download_dialog());
            release_held_body(test_path("go.flag"));
        });
        dialog.do_modal();  // the download ends while the question waits for an answer
    }
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(IsWindow(question));
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 150000);
    EXPECT_EQ(dialog.current, 150000);
    EXPECT_EQ(as_string(dialog.received), bytes);
}

TEST(DownloadDialog, ReportsThatDoNotComeFromItsWorkerChangeNothing) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(300000);
    serve(path, bytes, held_body);
    c_download_dlg dialog(host_url(path), GetModuleHandleW(nullptr), nullptr);
    bool open_after_forging = false;
    {
        user_at_screen user([&] {
            const HWND window = wait_for_download_dialog();
            forge_download_reports(window);
            open_after_forging = IsWindow(window) && relay_exists();
            release_held_body(test_path("go.flag"));
        });
        dialog.do_modal();
    }
    EXPECT_TRUE(open_after_forging) << "the download ended early";
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 300000);
    EXPECT_EQ(dialog.current, 300000);
    EXPECT_EQ(as_string(dialog.received), bytes);
}

// Counts every progress report that reaches it: it should never get one.
class decoy_windows {
public:
    explicit decoy_windows(int count) {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &decoy_windows::procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"ombup_test_decoy";
        RegisterClassW(&window_class);
        for (int i = 0; i < count; ++i) {
            windows_.push_back(CreateWindowExW(0, window_class.lpszClassName, L"decoy", WS_OVERLAPPED, 0, 0, 10,
                                               10, nullptr, nullptr, window_class.hInstance, nullptr));
        }
    }
    ~decoy_windows() {
        for (HWND window : windows_) DestroyWindow(window);
    }
    static int reports() { return reports_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == UM_DOWNLOAD_PROGRESS) ++reports_;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static inline std::atomic<int> reports_{0};
    std::vector<HWND> windows_;
};

TEST(DownloadDialog, TheWorkerOutlivesTheDialogHarmlessly) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(300000), held_body);
    auto dialog = std::make_unique<c_download_dlg>(host_url(path), GetModuleHandleW(nullptr), nullptr);
    {
        user_at_screen user([&] {
            const HWND question = ask_to_cancel(wait_for_download_dialog());
            if (question != nullptr) press_button(question, IDYES);
        });
        dialog->do_modal();
    }
    ASSERT_EQ(dialog->completed, 0);
    dialog.reset();  // as the session does at once

    // New windows, some of which may take over the dialog's handle, while the
    // worker still receives and reports; then it goes on to its end.
    ASSERT_TRUE(relay_exists());
    decoy_windows decoys(200);
    release_held_body(test_path("go.flag"));
    pump_messages_until([] { return !relay_exists(); }, 60000);
    EXPECT_FALSE(relay_exists()) << "the worker did not finish";
    EXPECT_EQ(decoy_windows::reports(), 0);
}

}  // namespace
