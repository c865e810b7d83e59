#pragma once
// What the fuzz targets share: a check that fails like a crash, so that
// libFuzzer keeps the input, and the C runtime's reading of a number as the
// reference for decimal_value.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#define FUZZ_REQUIRE(condition) ((condition) ? static_cast<void>(0) : fuzz_failed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void fuzz_failed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

// strtoll stops at a zero byte as decimal_value stops at any non-digit, and
// saturates at 64 bits, which then clamp to 32.
inline std::int32_t runtime_decimal_value(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                           std::numeric_limits<std::int32_t>::max()));
}

// Units beyond ASCII are neither white space, sign nor digit: any letter
// stands in for them.
inline std::int32_t runtime_decimal_value(std::wstring_view text) {
    std::string narrow;
    for (const wchar_t unit : text) narrow.push_back(unit >= 0 && unit < 0x80 ? static_cast<char>(unit) : 'x');
    return runtime_decimal_value(narrow);
}
