#include "test_env.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        ADD_FAILURE() << name << " is not set: run the tests through scripts/test";
        return std::string();
    }
    return value;
}

}  // namespace

std::wstring widen_utf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string narrow_utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::wstring windows_path(const std::string& unix_path) {
    std::wstring path = L"Z:" + widen_utf8(unix_path);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring source_dir() { return windows_path(environment("OMBUP_SOURCE_DIR")); }
std::wstring build_dir() { return windows_path(environment("OMBUP_BUILD_DIR")); }
std::wstring www_dir() { return windows_path(environment("OMBUP_WWW_DIR")); }
std::wstring work_dir() { return windows_path(environment("OMBUP_WORK_DIR")); }

std::wstring current_test_name() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = widen_utf8(std::string(info->test_suite_name()) + "." + info->name());
    for (wchar_t& c : name)
        if (c == L'/') c = L'_';
    return name;
}

std::wstring fresh_test_folder(const std::wstring& suffix) {
    const std::wstring folder = work_dir() + L"\\" + current_test_name() + suffix;
    make_folders(folder);
    return folder;
}

std::wstring test_program_dir() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L'\\'));
}

std::string read_file(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

void write_file(const std::wstring& path, const std::string& bytes) {
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file) ADD_FAILURE() << "cannot write " << narrow_utf8(path);
}

bool file_exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::wstring> files_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void make_folders(const std::wstring& path) {
    for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
}

int run_program(const std::wstring& command_line, DWORD timeout_ms) {
    const scoped_handle process = start_program(command_line);
    if (!process) return -1;
    const int exit_code = wait_for_exit(process, timeout_ms);
    if (exit_code == -1) TerminateProcess(process.get(), 1);
    return exit_code;
}

int run_program(const std::wstring& command_line, std::string& output, DWORD timeout_ms) {
    // Through a file: a pipe would need reading while the program runs.
    const std::wstring output_file = fresh_test_folder(L"-output") + L"\\output-" +
                                     std::to_wstring(GetTickCount64()) + L".txt";
    int exit_code = -1;
    {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const scoped_file file(CreateFileW(output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = file.get();
        PROCESS_INFORMATION process{};
        std::wstring mutable_line = command_line;
        if (!file || !CreateProcessW(nullptr, &mutable_line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                     &startup, &process))
            return -1;
        CloseHandle(process.hThread);
        const scoped_handle program(process.hProcess);
        exit_code = wait_for_exit(program, timeout_ms);
        if (exit_code == -1) TerminateProcess(program.get(), 1);
    }
    output = read_file(output_file);
    return exit_code;
}

scoped_handle start_program(const std::wstring& command_line) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring mutable_line = command_line;
    if (!CreateProcessW(nullptr, &mutable_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return scoped_handle();
    CloseHandle(process.hThread);
    return scoped_handle(process.hProcess);
}

int wait_for_exit(const scoped_handle& process, DWORD timeout_ms) {
    DWORD exit_code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) return -1;
    GetExitCodeProcess(process.get(), &exit_code);
    return static_cast<int>(exit_code);
}

namespace {

std::wstring process_image_path(HANDLE process) {
    wchar_t path[MAX_PATH * 4];
    DWORD length = static_cast<DWORD>(std::size(path));
    if (!QueryFullProcessImageNameW(process, 0, path, &length)) return std::wstring();
    return std::wstring(path, length);
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

std::vector<DWORD> processes_running(const std::wstring& exe_path) {
    std::vector<DWORD> ids;
    const scoped_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        const scoped_handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        DWORD exit_code = 0;
        if (GetExitCodeProcess(process.get(), &exit_code) && exit_code == STILL_ACTIVE &&
            same_path(process_image_path(process.get()), exe_path))
            ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void end_processes_running(const std::wstring& exe_path) {
    for (DWORD id : processes_running(exe_path)) {
        const scoped_handle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) continue;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 10000);
    }
}

bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms) {
    const ULONGLONG give_up_at = GetTickCount64() + timeout_ms;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= give_up_at) return false;
        Sleep(20);
    }
}
