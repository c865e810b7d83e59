#pragma once
// The command-line grammar and decimal values. No Win32 here, so that this can
// be built and fuzzed natively. The automatic path and the WOW64 test are in
// launch_options_win.cpp.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/version_code.h"

// Tokens separated by runs of U+0020 only; tabs and quotes stay in their token.
std::vector<std::wstring> split_command_line(const std::wstring& command_line);

// Leading white space, an optional sign, then digits up to the first non-digit;
// 0 without digits; saturates at the limits of a signed 32-bit integer.
std::int32_t decimal_value(std::string_view text);
std::int32_t decimal_value(std::wstring_view text);

// The explicit form: "-p", "-s", "-f<bits>", "-v<version_code>". p_flag and
// silent are always written; bits and installed_version only when valid.
bool parse_explicit_launch_options(const std::wstring& command_line, int& bits,
                                   version_code& installed_version, bool& p_flag,
                                   bool& silent);

// A 32-bit updater running under WOW64 is on 64-bit Windows.
int bits_for_system(bool under_wow64);

// IsWow64Process, looked up at run time; false where it is missing or fails.
bool process_runs_under_wow64();

// The launch values: from the command line, or, when it is absent or empty,
// the system's width and the installed executable's version.
bool parse_launch_options(const wchar_t* command_line, int& bits,
                          version_code& installed_version, bool& p_flag, bool& silent);
