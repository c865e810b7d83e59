#pragma once
// What the updater reads from a downloaded executable's own bytes: whether
// it is a whole executable for the installed build (checked before anything
// on disk is touched) and the version it carries. No Win32 here: it is also
// built natively for fuzzing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// The strings of a version resource that say which product a build is.
inline constexpr std::array<const char*, 3> product_name_keys = {"ProductName", "InternalName", "OriginalFilename"};

// Those strings of one version resource, in the order of product_name_keys,
// as their UTF-16 units up to the terminator, one per wchar_t (as Windows
// holds them); none where the resource has no such string. A resource may
// hold several string tables (one per language and code page): only the
// first counts, the first table of the first "StringFileInfo" block, for
// every build alike.
struct product_names_t {
    std::array<std::optional<std::wstring>, product_name_keys.size()> values;
};

// From a version block (VS_VERSIONINFO) as a resource holds it and
// GetFileVersionInfoW copies it; nothing outside the size bytes, nor past
// the block's own length, is read. A block that does not parse names nothing.
product_names_t version_block_product_names(const unsigned char* block, std::size_t size);

// From the image's own version resource, the one image_file_version reads.
// False when the bytes hold none.
bool image_product_names(const unsigned char* bytes, std::size_t size, product_names_t& names);

// The indices (into product_name_keys) of the strings by which a new build
// names another product than the installed build: ProductName whenever the
// two differ, InternalName and OriginalFilename where the installed build
// has them and the new one's differ. None: the same product.
std::vector<std::size_t> product_name_differences(const product_names_t& offered, const product_names_t& installed);
