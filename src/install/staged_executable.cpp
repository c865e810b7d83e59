#include "install/staged_executable.h"

#include <algorithm>
#include <cstddef>

namespace {

// A file that was just let go of can be held a moment longer; one still held
// after this is held for good.
constexpr DWORD replace_retry_time_ms = 2000;
constexpr DWORD replace_retry_pause_ms = 100;

// Windows answers a file that is mapped as a running image with "access
// denied", and one open elsewhere with a sharing or lock violation.
bool target_is_held(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace

staged_executable::~staged_executable() {
    if (!file_ || placed_) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (!SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition)) {
        file_.reset();
        DeleteFileW(path_.c_str());
    }
}

bool staged_executable::write(const std::wstring& path, const std::vector<char>& data) {
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

bool staged_executable::replace(const std::wstring& target) {
    // FILE_RENAME_INFO ends in the new name, which needs room of its own.
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + (target.size() + 1) * sizeof(wchar_t));
    auto* const rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.c_str(), target.c_str() + target.size() + 1, rename->FileName);

    const ULONGLONG give_up_at = GetTickCount64() + replace_retry_time_ms;
    for (;;) {
        if (SetFileInformationByHandle(file_.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
            // In place, it is let go: no program can be started from a file
            // that is open for writing.
            placed_ = true;
            FlushFileBuffers(file_.get());
            file_.reset();
            return true;
        }
        if (!target_is_held(GetLastError()) || GetTickCount64() >= give_up_at) return false;
        Sleep(replace_retry_pause_ms);
    }
}
