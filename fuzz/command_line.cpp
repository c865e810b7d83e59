// The command line: split_command_line, decimal_value on wide text and
// parse_explicit_launch_options, against a reference reading of the grammar.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "update/launch_options.h"

namespace {

// Windows hands the command line over as UTF-16: the input is read as
// little-endian 16-bit units, so that it means the same with Linux's 32-bit
// wchar_t.
std::wstring utf16_units(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

// Runs of spaces made one, none at either end.
std::wstring with_single_spaces(const std::wstring& text) {
    std::wstring result;
    bool space_pending = false;
    for (const wchar_t unit : text) {
        if (unit == L' ') {
            space_pending = !result.empty();
        } else {
            if (space_pending) result.push_back(L' ');
            space_pending = false;
            result.push_back(unit);
        }
    }
    return result;
}

bool starts_with(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring command_line = utf16_units(data, size);

    const std::vector<std::wstring> tokens = split_command_line(command_line);
    std::wstring joined;
    for (const std::wstring& token : tokens) {
        FUZZ_REQUIRE(!token.empty());
        FUZZ_REQUIRE(token.find(L' ') == std::wstring::npos);
        FUZZ_REQUIRE(decimal_value(std::wstring_view(token)) == runtime_decimal_value(std::wstring_view(token)));
        if (!joined.empty()) joined.push_back(L' ');
        joined += token;
    }
    FUZZ_REQUIRE(joined == with_single_spaces(command_line));
    FUZZ_REQUIRE(decimal_value(std::wstring_view(command_line)) == runtime_decimal_value(std::wstring_view(command_line)));

    bool any_p = false;
    bool any_s = false;
    int width = 0;
    std::int32_t version = 0;
    for (const std::wstring& token : tokens) {
        if (token == L"-p") {
            any_p = true;
        } else if (token == L"-s") {
            any_s = true;
        } else if (starts_with(token, L"-f")) {
            width = runtime_decimal_value(std::wstring_view(token).substr(2));
        } else if (starts_with(token, L"-v")) {
            version = runtime_decimal_value(std::wstring_view(token).substr(2));
        }
    }
    const bool expected_valid = !tokens.empty() && (width == 32 || width == 64) && version >= 100 && version <= 900;

    constexpr int untouched = -7;
    int bits = untouched;
    version_code installed_version = untouched;
    bool p_flag = !any_p;  // both flags must be written on every path
    bool silent = !any_s;
    const bool valid = parse_explicit_launch_options(command_line, bits, installed_version, p_flag, silent);
    FUZZ_REQUIRE(valid == expected_valid);
    FUZZ_REQUIRE(p_flag == any_p);
    FUZZ_REQUIRE(silent == any_s);
    if (valid) {
        FUZZ_REQUIRE(bits == 32 || bits == 64);
        FUZZ_REQUIRE(installed_version >= 100 && installed_version <= 900);
        FUZZ_REQUIRE(bits == width && installed_version == version);
    } else {
        FUZZ_REQUIRE(bits == untouched && installed_version == untouched);
    }
    return 0;
}
