#include "install/install.h"

#include <shellapi.h>

#include <string>

#include "common/messages.h"
#include "common/scoped.h"
#include "update/paths.h"

namespace {

const wchar_t message_caption[] = L"OmBry - Auto update";
// "Tải thành công. Nhấn Ok để cập nhật"
const wchar_t download_succeeded_text[] =
    L"T\u1ea3i th\u00e0nh c\u00f4ng. Nh\u1ea5n Ok \u0111\u1ec3 c\u1eadp nh\u1eadt";
// "Không thể ghi file. Vui lòng kiểm tra lại."
const wchar_t write_failed_text[] = L"Kh\u00f4ng th\u1ec3 ghi file. Vui l\u00f2ng ki\u1ec3m tra l\u1ea1i.";

const wchar_t product_window_class[] = L"OmBry_MainWnd";
constexpr DWORD pause_after_close_request_ms = 100;
constexpr DWORD pause_between_close_passes_ms = 1000;

// A product that has just ended can hold its executable for a moment longer;
// one still held after this is held for good.
constexpr DWORD replace_retry_time_ms = 2000;
constexpr DWORD replace_retry_pause_ms = 100;

bool write_and_flush(const std::wstring& path, const std::vector<char>& data) {
    if (data.empty() || data.size() > MAXDWORD) return false;
    scoped_file file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const DWORD size = static_cast<DWORD>(data.size());
    DWORD written = 0;
    return WriteFile(file.get(), data.data(), size, &written, nullptr) && written == size &&
           FlushFileBuffers(file.get());
}

// Windows answers a file that is mapped as a running image with "access
// denied", and one open elsewhere with a sharing or lock violation.
bool target_is_held(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool move_over(const std::wstring& source, const std::wstring& target) {
    const ULONGLONG give_up_at = GetTickCount64() + replace_retry_time_ms;
    for (;;) {
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (!target_is_held(GetLastError()) || GetTickCount64() >= give_up_at) return false;
        Sleep(replace_retry_pause_ms);
    }
}

// The target keeps its old content until the new content is whole on disk
// beside it and moved over it in one step.
bool replace_file_with_bytes(const std::wstring& target, const std::vector<char>& data) {
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    if (write_and_flush(temporary, data) && move_over(temporary, target)) return true;
    DeleteFileW(temporary.c_str());
    return false;
}

// SendMessageW, bounded: a window that does not answer by the deadline is
// left waiting.
void send_close_request(HWND window, ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE, 0, SMTO_NORMAL,
                        static_cast<UINT>(deadline - now), &result);
}

}  // namespace

bool can_write_to_module_directory() {
    const std::wstring probe = get_module_directory() + L"\\ombup.tst";
    {
        scoped_file file(
            CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
    }
    DeleteFileW(probe.c_str());
    return true;
}

bool close_running_application() {
    HWND window = FindWindowW(product_window_class, nullptr);
    if (window == nullptr) return false;
    const ULONGLONG deadline = GetTickCount64() + close_time_limit_ms;
    for (int requests = 0; window != nullptr && requests < close_request_limit && GetTickCount64() < deadline;
         ++requests) {
        send_close_request(window, deadline);
        Sleep(pause_after_close_request_ms);
        window = FindWindowW(product_window_class, nullptr);
    }
    return true;
}

bool relaunch_application(int bits, bool p_flag) {
    const std::wstring file = get_installed_exe_path(bits);
    std::wstring parameters = L"-r";
    if (p_flag) parameters += L" -p";
    parameters += L" -s";
    const HINSTANCE result =
        ShellExecuteW(nullptr, nullptr, file.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void install_update(const std::vector<char>& data, int bits, bool p_flag, bool silent, HWND owner) {
    const std::wstring target = get_installed_exe_path(bits);
    MessageBoxW(owner, download_succeeded_text, message_caption, MB_OK | MB_ICONINFORMATION);

    const bool was_running = close_running_application();
    Sleep(pause_between_close_passes_ms);
    close_running_application();

    if (!replace_file_with_bytes(target, data) && !silent)
        MessageBoxW(nullptr, write_failed_text, message_caption, MB_ICONERROR);

    if (was_running) relaunch_application(bits, p_flag);
}
