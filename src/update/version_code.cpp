#include "update/version_code.h"

#include "common/decimal_text.h"
#include "update/launch_options.h"

version_code version_code_from_file_version(std::uint32_t file_version_ms,
                                            std::uint32_t file_version_ls) {
    const auto major = static_cast<version_code>(file_version_ms >> 16);
    const auto minor = static_cast<version_code>(file_version_ms & 0xFFFFu);
    const auto build = static_cast<version_code>(file_version_ls >> 16);
    return major * 100 + minor * 10 + build;
}

std::wstring version_text(version_code version) {
    return decimal_text(version / 100) + L"." + decimal_text((version / 10) % 10) + L"." +
           decimal_text(version % 10);
}

version_code version_file_value(std::string_view bytes) { return decimal_value(bytes); }
