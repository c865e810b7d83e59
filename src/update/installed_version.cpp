#include "update/installed_version.h"

#include <windows.h>

#include <vector>

#include "update/paths.h"
#include "update/version_api.h"

namespace {

// The file's version information as GetFileVersionInfoW gives it; false when
// the file has none (or is missing), with buffer empty; false with a buffer
// of the announced size when it has some that cannot be read.
bool read_version_information(const version_api_t& version, const std::wstring& path,
                              std::vector<unsigned char>& buffer) {
    DWORD handle = 0;
    const DWORD size = version.GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return false;
    buffer.assign(size, 0);
    return version.GetFileVersionInfoW(path.c_str(), handle, size, buffer.data()) != FALSE;
}

}  // namespace

version_code file_version_code(const std::wstring& path) {
    const version_api_t* const version = version_api();
    std::vector<unsigned char> buffer;
    if (version == nullptr || !read_version_information(*version, path, buffer)) return 0;
    void* block = nullptr;
    UINT length = 0;
    if (!version->VerQueryValueW(buffer.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    if (info->dwSignature != 0xFEEF04BD) return 0;
    return version_code_from_file_version(info->dwFileVersionMS, info->dwFileVersionLS);
}

version_code get_installed_version(int bits) { return file_version_code(get_installed_exe_path(bits)); }

std::optional<product_names_t> file_product_names(const std::wstring& path) {
    const version_api_t* const version = version_api();
    std::vector<unsigned char> buffer;
    // Names that cannot be read are none at all, which no real build matches.
    if (version == nullptr) return product_names_t{};
    if (read_version_information(*version, path, buffer))
        return version_block_product_names(buffer.data(), buffer.size());
    if (buffer.empty()) return std::nullopt;
    return product_names_t{};
}
