#pragma once
// Version numbers as the updater compares and shows them. No Win32 here, so
// that this can be built and fuzzed natively.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// major*100 + minor*10 + build; 0 means no version is known.
using version_code = std::int32_t;

// Components above 9 are not carried into their own digit: 1.12.3 gives 223.
version_code version_code_from_file_version(std::uint32_t file_version_ms,
                                            std::uint32_t file_version_ls);
// The version_code of an image's own version resource (image_file_version);
// 0 when it has none.
version_code image_version_code(const std::vector<char>& bytes);

// major.minor.build, e.g. 1234 -> "12.3.4", 45 -> "0.4.5".
std::wstring version_text(version_code version);

// The latest version as "cversion.txt" gives it: the decimal value of its
// bytes (leading white space, a sign, the digits up to the first non-digit).
// A file that does not start with a number (empty, "v2.5.1", a byte-order
// mark) gives 0, which no installed version is below; "2.5.1" gives 2.
version_code version_file_value(std::string_view bytes);
