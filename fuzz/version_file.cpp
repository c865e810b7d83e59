// The version file "cversion.txt": its bytes read with decimal_value, as the
// availability check reads them, and the version shown back as text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "update/launch_options.h"
#include "update/version_code.h"

namespace {

// major.minor.build must give the version back: minor and build one digit
// each, major the rest.
void check_version_text(version_code version) {
    const std::wstring text = version_text(version);
    const std::size_t first_dot = text.find(L'.');
    const std::size_t second_dot = text.find(L'.', first_dot + 1);
    FUZZ_REQUIRE(first_dot != std::wstring::npos && second_dot == first_dot + 2);
    FUZZ_REQUIRE(text.size() == second_dot + 2);
    for (const wchar_t unit : text) FUZZ_REQUIRE(unit == L'.' || (unit >= L'0' && unit <= L'9'));
    const std::int32_t major = runtime_decimal_value(std::wstring_view(text).substr(0, first_dot));
    const std::int32_t minor = text[first_dot + 1] - L'0';
    const std::int32_t build = text[second_dot + 1] - L'0';
    FUZZ_REQUIRE(std::int64_t{major} * 100 + minor * 10 + build == version);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const version_code latest = decimal_value(bytes);
    FUZZ_REQUIRE(latest == runtime_decimal_value(std::string(bytes)));
    // Only a positive version is ever shown.
    if (latest > 0) check_version_text(latest);
    return 0;
}
