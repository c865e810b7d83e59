#pragma once
// What the updater reads from a downloaded executable's own bytes: whether
// it is a whole executable for the installed build (checked before anything
// on disk is touched) and the version it carries. No Win32 here: it is also
// built natively for fuzzing.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "update/version_code.h"

// True when the bytes are a PE executable (not a DLL) whose machine matches
// the build width (32: i386 with a PE32 header, 64: AMD64 with PE32+), and
// whose headers, section table, every section's raw data and any appended
// certificate table lie within the bytes. A download cut short anywhere in
// that range therefore fails, whatever its length header said.
bool is_installable_image(const unsigned char* bytes, std::size_t size, int bits);
bool is_installable_image(const std::vector<char>& bytes, int bits);

// The certificate table that the headers at the start of an image declare:
// its file offset and size, which need not lie within the bytes given.
// False when they declare none (an unsigned build) or are no PE headers.
bool declared_certificate_table(const unsigned char* bytes, std::size_t size, std::uint32_t& offset,
                                std::uint32_t& table_size);
// Where the Authenticode signature (a PKCS#7 SignedData) of a certificate
// table's first entry lies in the table's bytes, without the entry's
// padding. False when the first entry holds none.
bool authenticode_signature_in(const unsigned char* table, std::size_t size, std::size_t& at, std::size_t& length);

// The file version in the image's version resource, read as the version API
// reads it from a file (the resource of type 16 named 1, its first language,
// whose fixed part carries the signature 0xFEEF04BD): the two halves of
// VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS. False when the bytes
// hold none; nothing outside the bytes is read.
bool image_file_version(const unsigned char* bytes, std::size_t size, std::uint32_t& version_ms,
                        std::uint32_t& version_ls);
// Its version_code; 0 when there is none.
version_code image_version_code(const std::vector<char>& bytes);
