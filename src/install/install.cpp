#include "install/install.h"

#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <string>

#include "common/messages.h"
#include "common/scoped.h"
#include "install/pe_image.h"
#include "install/publisher.h"
#include "install/staged_file.h"
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

// An executable that was just let go of can be held a moment longer (by a
// virus scanner reading it, say); one still held after this is held for good.
constexpr DWORD replace_retry_time_ms = 2000;
constexpr DWORD replace_retry_pause_ms = 100;

// Windows answers a file that is mapped as a running image with "access
// denied", and one open elsewhere with a sharing or lock violation.
bool target_is_held(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The new executable beside the target, held open from its first byte until
// it has replaced the target. Other programs may read it, but none may
// write, truncate, rename or delete it meanwhile: the bytes that were checked
// are the bytes installed. Deleted when it goes, unless it is in place.
class staged_executable {
public:
    staged_executable() = default;
    ~staged_executable() {
        if (!file_ || placed_) return;
        FILE_DISPOSITION_INFO disposition{TRUE};
        if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
            file_.reset();
            DeleteFileW(path_.c_str());
        }
    }
    staged_executable(const staged_executable&) = delete;
    staged_executable& operator=(const staged_executable&) = delete;

    // Creates the file (a file of that name that is there already is never
    // taken over) and writes data whole to it.
    bool write(const std::wstring& path, const std::vector<char>& data) {
        if (data.empty() || data.size() > MAXDWORD) return false;
        file_.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) return false;
        path_ = path;
        const DWORD size = static_cast<DWORD>(data.size());
        DWORD written = 0;
        return WriteFile(file_.get(), data.data(), size, &written, nullptr) && written == size &&
               FlushFileBuffers(file_.get());
    }

    HANDLE handle() const { return file_.get(); }
    const std::wstring& path() const { return path_; }

    // Puts it in place of target in one step, through the handle held, and
    // closes it.
    bool replace(const std::wstring& target) {
        // FILE_RENAME_INFO ends in the new name, which needs room of its own.
        std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) +
                                          (target.size() + 1) * sizeof(wchar_t));
        auto* const rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
        std::copy(target.c_str(), target.c_str() + target.size() + 1, rename->FileName);

        const ULONGLONG give_up_at = GetTickCount64() + replace_retry_time_ms;
        for (;;) {
            if (SetFileInformationByHandle(file_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
                // In place, it is let go: no program can be started from a
                // file that is open for writing.
                placed_ = true;
                FlushFileBuffers(file_.get());
                file_.reset();
                return true;
            }
            if (!target_is_held(GetLastError()) || GetTickCount64() >= give_up_at) return false;
            Sleep(replace_retry_pause_ms);
        }
    }

private:
    scoped_file file_;
    std::wstring path_;
    bool placed_ = false;
};

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
// is never installed. Judged from the bytes written and the file held.
bool is_genuine_release(const std::vector<char>& data, const staged_executable& staged, const std::wstring& target,
                        version_code latest_version, const wchar_t* required_publisher) {
    return latest_version > 0 && image_version_code(data) == latest_version &&
           publisher_verdict(read_signature(staged.path(), staged.handle()), read_signature(target),
                             required_publisher) == publisher_verdict_t::accepted;
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

void product_processes_t::note_window(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    if (id == 0 || std::find(ids_.begin(), ids_.end(), id) != ids_.end()) return;
    // A process that cannot be opened has ended already, or is not ours to
    // wait for; the move's own retry is what is left for it.
    scoped_handle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return;
    ids_.push_back(id);
    processes_.push_back(std::move(process));
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
    // The target keeps its old content until the new content is whole and
    // checked on disk beside it, and moved over it in one step.
    staged_executable staged;
    if (!staged.write(folder_of(target) + L"\\" + staged_file_name(name_of(target), GetCurrentProcessId()), data)) {
        report_write_failure(silent);
        return install_result_t::done;
    }
    if (!is_genuine_release(data, staged, target, latest_version, required_publisher))
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
    if (was_running && product_ended && !product_window_open()) relaunch_application(bits, p_flag);
    return install_result_t::done;
}
