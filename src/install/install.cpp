#include "install/install.h"

#include <shellapi.h>

#include <algorithm>
#include <string>

#include "common/decimal_text.h"
#include "common/messages.h"
#include "common/scoped.h"
#include "install/build_checks.h"
#include "install/staged_executable.h"
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
// Names the write probe tries: "ombup.tst", then names of its own process.
// Every one of them taken is a folder that something else is filling.
constexpr int probe_name_attempts = 8;

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
    const std::wstring folder = get_module_directory() + L"\\";
    const std::wstring process = decimal_text(GetCurrentProcessId());
    for (int attempt = 0; attempt < probe_name_attempts; ++attempt) {
        std::wstring path = folder + L"ombup.";
        if (attempt > 0) {
            path += process;
            path += L'.';
            path += decimal_text(attempt);
            path += L'.';
        }
        path += L"tst";
        // Only a file of its own: created new (never a name that is there,
        // whatever it is or points to), with nobody else let in, and deleted
        // through its own handle as that closes, so that exactly the file it
        // made goes. A name that is a link is not followed.
        const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT;
        const scoped_file file(
            CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, flags, nullptr));
        if (file) return true;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void product_processes_t::note_window(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    const auto noted = [id](const scoped_handle& process) { return GetProcessId(process.get()) == id; };
    if (id == 0 || std::any_of(processes_.begin(), processes_.end(), noted)) return;
    // A process that cannot be opened has ended already, or is not ours to
    // wait for; the move's own retry is what is left for it.
    scoped_handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (process) processes_.push_back(std::move(process));
}

bool product_processes_t::wait_until_ended(DWORD timeout_ms) const {
    const ULONGLONG give_up_at = GetTickCount64() + timeout_ms;
    for (const scoped_handle& process : processes_) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= give_up_at ? 0 : static_cast<DWORD>(give_up_at - now);
        if (WaitForSingleObject(process.get(), left) != WAIT_OBJECT_0) return false;
    }
    return true;
}

bool close_running_application(product_processes_t& noted) {
    HWND window = FindWindowW(product_window_class, nullptr);
    if (window == nullptr) return false;
    for (HWND found = window; found != nullptr; found = FindWindowExW(nullptr, found, product_window_class, nullptr))
        noted.note_window(found);
    const ULONGLONG deadline = GetTickCount64() + close_time_limit_ms;
    for (int requests = 0; window != nullptr && requests < close_request_limit && GetTickCount64() < deadline;
         ++requests) {
        noted.note_window(window);
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

install_result_t install_update(const std::vector<char>& data, int bits, version_code latest_version, bool p_flag,
                                bool silent, HWND owner, const wchar_t* required_publisher) {
    const std::wstring target = get_installed_exe_path(bits);
    remove_leftover_staged_files(target);
    // The release that the version file announced, judged before anything is
    // written: bytes that are no such build never reach the disk, and a write
    // that fails never stands in for their refusal.
    if (check_downloaded_bytes(data, bits, latest_version, file_product_names(target)) != build_refusal_t::none)
        return install_result_t::refused;
    // The target keeps its old content until the new content is whole and
    // checked on disk beside it, and moved over it in one step.
    staged_executable staged;
    if (!staged.write(folder_of(target) + L"\\" + staged_file_name(name_of(target), GetCurrentProcessId()), data)) {
        report_write_failure(silent);
        return install_result_t::done;
    }
    // Built by the publisher of the installed product, judged from the file
    // held.
    if (publisher_verdict(read_signature(staged.path(), staged.handle()), read_signature(target),
                          required_publisher) != publisher_verdict_t::accepted)
        return install_result_t::refused;

    MessageBoxW(owner, download_succeeded_text, message_caption, MB_OK | MB_ICONINFORMATION);
    // The box went with its owner: a close request ended the updater before
    // anybody pressed OK.
    if (owner != nullptr && !IsWindow(owner)) return install_result_t::abandoned;

    product_processes_t noted;
    const bool was_running = close_running_application(noted);
    Sleep(pause_between_close_passes_ms);
    close_running_application(noted);
    // A product that would not close still runs: its executable stays, and a
    // second one beside it would only fight it for the same files.
    const bool product_ended = !product_window_open() && noted.wait_until_ended(product_exit_time_limit_ms);
    if (!product_ended || !staged.replace(target)) report_write_failure(silent);
    // Asked again: the user may have started the product during the wait.
    if (was_running && product_ended && !product_window_open()) relaunch_application(bits, p_flag);
    return install_result_t::done;
}
