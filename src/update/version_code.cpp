#include "update/version_code.h"

#include "common/decimal_text.h"
#include "formats/pe_image.h"
#include "update/launch_options.h"

version_code version_code_from_file_version(std::uint32_t file_version_ms,
                                            std::uint32_t file_version_ls) {
    const auto major = static_cast<version_code>(file_version_ms >> 16);
    const auto minor = static_cast<version_code>(file_version_ms & 0xFFFFu);
    const auto build = static_cast<version_code>(file_version_ls >> 16);
    return major * 100 + minor * 10 + build;
}

version_code image_version_code(const std::vector<char>& bytes) {
    std::uint32_t version_ms = 0;
    std::uint32_t version_ls = 0;
    if (!image_file_version(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), version_ms,
                            version_ls))
        return 0;
    return version_code_from_file_version(version_ms, version_ls);
}

std::wstring version_text(version_code version) {
    return decimal_text(version / 100) + L"." + decimal_text((version / 10) % 10) + L"." +
           decimal_text(version % 10);
}

version_code version_file_value(std::string_view bytes) { return decimal_value(bytes); }
