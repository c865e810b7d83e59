#pragma once
#include <string>

// One UTF-16 unit per byte, the byte taken as a signed char and sign-extended
// (0xE9 becomes 0xFFE9); no code page is applied and zero bytes are kept.
// The release URLs are plain ASCII, for which this is exact.
std::wstring widen_string(const std::string& bytes);
