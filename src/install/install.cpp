#include "install/install.h"

#include <shellapi.h>

#include <string>

#include "common/messages.h"
#include "common/scoped.h"
#include "install/publisher.h"
#include "install/staged_file.h"
#include "update/installed_version.h"
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

std::wstring folder_of(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }
std::wstring name_of(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// Only names of the exact form the updater writes, so that no file of the
// user's is ever taken for one.
void remove_leftover_staged_files(const std::wstring& target) {
    const std::wstring folder = folder_of(target);
    const std::wstring target_name = name_of(target);
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW((target + L".*.tmp").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            is_staged_file_name(found.cFileName, target_name))
            DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The release that the version file announced, built by the publisher of the
// installed product: a half-published release, or a file from anybody else,
// is never installed.
bool is_genuine_release(const std::wstring& staged, const std::wstring& target, version_code latest_version,
                        const wchar_t* required_publisher) {
    return latest_version > 0 && file_version_code(staged) == latest_version &&
           comes_from_publisher(staged, target, required_publisher);
}

bool product_window_open() { return FindWindowW(product_window_class, nullptr) != nullptr; }

void report_write_failure(bool silent) {
    if (!silent) MessageBoxW(nullptr, write_failed_text, message_caption, MB_ICONERROR);
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

bool install_update(const std::vector<char>& data, int bits, version_code latest_version, bool p_flag, bool silent,
                    HWND owner, const wchar_t* required_publisher) {
    const std::wstring target = get_installed_exe_path(bits);
    remove_leftover_staged_files(target);
    // The target keeps its old content until the new content is whole and
    // checked on disk beside it, and moved over it in one step.
    const std::wstring staged = folder_of(target) + L"\\" + staged_file_name(name_of(target), GetCurrentProcessId());
    if (!write_and_flush(staged, data)) {
        DeleteFileW(staged.c_str());
        report_write_failure(silent);
        return true;
    }
    if (!is_genuine_release(staged, target, latest_version, required_publisher)) {
        DeleteFileW(staged.c_str());
        return false;
    }

    MessageBoxW(owner, download_succeeded_text, message_caption, MB_OK | MB_ICONINFORMATION);
    const bool was_running = close_running_application();
    Sleep(pause_between_close_passes_ms);
    close_running_application();

    if (!move_over(staged, target)) {
        DeleteFileW(staged.c_str());
        report_write_failure(silent);
    }
    // A product that would not close still runs: a second one beside it
    // would only fight it for the same files.
    if (was_running && !product_window_open()) relaunch_application(bits, p_flag);
    return true;
}
