#pragma once
// The check that downloaded bytes are a whole executable for the installed
// build, made before anything on disk is touched. No Win32 here: it is also
// built natively for fuzzing.
#include <cstddef>
#include <vector>

// True when the bytes are a PE executable (not a DLL) whose machine matches
// the build width (32: i386 with a PE32 header, 64: AMD64 with PE32+), and
// whose headers, section table, every section's raw data and any appended
// certificate table lie within the bytes. A download cut short anywhere in
// that range therefore fails, whatever its length header said.
bool is_installable_image(const unsigned char* bytes, std::size_t size, int bits);
bool is_installable_image(const std::vector<char>& bytes, int bits);
