#include "update/installed_version.h"

#include <windows.h>

#include <vector>

#include "update/paths.h"
#include "update/version_api.h"

version_code file_version_code(const std::wstring& path) {
    const version_api_t* const version = version_api();
    if (version == nullptr) return 0;
    DWORD handle = 0;
    const DWORD size = version->GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return 0;
    std::vector<unsigned char> buffer(size);
    if (!version->GetFileVersionInfoW(path.c_str(), handle, size, buffer.data())) return 0;
    void* block = nullptr;
    UINT length = 0;
    if (!version->VerQueryValueW(buffer.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    if (info->dwSignature != 0xFEEF04BD) return 0;
    return version_code_from_file_version(info->dwFileVersionMS, info->dwFileVersionLS);
}

version_code get_installed_version(int bits) { return file_version_code(get_installed_exe_path(bits)); }
