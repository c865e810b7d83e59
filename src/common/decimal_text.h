#pragma once
// An integer in decimal, as a wide string. Not std::to_wstring: that goes
// through swprintf, which brings MinGW's whole printf into the exe (27 KB),
// where std::to_string writes the digits itself. No Win32 here.
#include <string>

template <class Integer>
std::wstring decimal_text(Integer value) {
    const std::string digits = std::to_string(value);
    return std::wstring(digits.begin(), digits.end());
}
