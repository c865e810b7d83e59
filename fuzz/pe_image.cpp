// The check of a downloaded executable: is_installable_image for both widths,
// and for an image it accepts, what must then hold of its bytes; the version
// and the product's names read from the bytes; and the names read from the
// input taken as a version block, as the version API returns one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/pe_image.h"
#include "fuzz_support.h"

namespace {

// Reads past the end give 0, so the reference needs no guard of its own; the
// checks below say where the fields must lie.
struct bytes_t {
    const std::uint8_t* data;
    std::size_t size;

    std::uint64_t u8(std::uint64_t at) const { return at < size ? data[at] : 0; }
    std::uint64_t u16(std::uint64_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint64_t u32(std::uint64_t at) const { return u16(at) | u16(at + 2) << 16; }
};

// Checks an accepted image with 64-bit offsets and returns the end of its
// furthest part: headers, section table, section data or certificates.
std::uint64_t check_accepted(const bytes_t& image, int bits) {
    const bool wide = bits == 64;
    FUZZ_REQUIRE(image.size >= 64 && image.data[0] == 'M' && image.data[1] == 'Z');
    const std::uint64_t pe = image.u32(0x3C);
    FUZZ_REQUIRE(pe + 24 <= image.size);
    FUZZ_REQUIRE(image.u32(pe) == 0x00004550);  // "PE\0\0"
    FUZZ_REQUIRE(image.u16(pe + 4) == (wide ? 0x8664u : 0x014Cu));
    const std::uint64_t characteristics = image.u16(pe + 22);
    FUZZ_REQUIRE((characteristics & 0x0002) != 0 && (characteristics & 0x2000) == 0);

    const std::uint64_t sections = image.u16(pe + 6);
    const std::uint64_t optional = pe + 24;
    const std::uint64_t optional_size = image.u16(pe + 20);
    FUZZ_REQUIRE(sections > 0);
    FUZZ_REQUIRE(optional + optional_size <= image.size);
    FUZZ_REQUIRE(image.u16(optional) == (wide ? 0x020Bu : 0x010Bu));

    const std::uint64_t table = optional + optional_size;
    std::uint64_t end = std::max(table + 40 * sections, image.u32(optional + 60));
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t raw_size = image.u32(table + 40 * i + 16);
        if (raw_size != 0) end = std::max(end, image.u32(table + 40 * i + 20) + raw_size);
    }
    const std::uint64_t directory_count_at = wide ? 108 : 92;
    const std::uint64_t certificate_entry = directory_count_at + 4 + 4 * 8;
    if (image.u32(optional + directory_count_at) > 4 && certificate_entry + 8 <= optional_size) {
        const std::uint64_t certificate_size = image.u32(optional + certificate_entry + 4);
        if (certificate_size != 0) end = std::max(end, image.u32(optional + certificate_entry) + certificate_size);
    }
    FUZZ_REQUIRE(end <= image.size);
    return end;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bytes_t image{data, size};
    const bool accepted_32 = is_installable_image(data, size, 32);
    const bool accepted_64 = is_installable_image(data, size, 64);
    FUZZ_REQUIRE(!(accepted_32 && accepted_64));
    for (const int bits : {0, 16, 31, 48, 63, 65, 128, -32, -64})
        FUZZ_REQUIRE(!is_installable_image(data, size, bits));
    FUZZ_REQUIRE(!is_installable_image(nullptr, size, 32) && !is_installable_image(nullptr, size, 64));

    for (const int bits : {32, 64}) {
        const bool accepted = bits == 32 ? accepted_32 : accepted_64;
        std::vector<char> copy(data, data + size);
        FUZZ_REQUIRE(is_installable_image(copy, bits) == accepted);
        if (!accepted) continue;

        // A download cut short of any part fails; bytes appended after the
        // last part change nothing.
        const std::uint64_t end = check_accepted(image, bits);
        if (end > 0) FUZZ_REQUIRE(!is_installable_image(data, static_cast<std::size_t>(end - 1), bits));
        copy.push_back('\0');
        FUZZ_REQUIRE(is_installable_image(copy, bits));
    }

    // The certificate table is only declared by the headers; read as a
    // table, the input's signature lies within its first entry.
    std::uint32_t table_offset = 0;
    std::uint32_t table_size = 0;
    if (declared_certificate_table(data, size, table_offset, table_size)) FUZZ_REQUIRE(table_size != 0);
    std::size_t signature_at = 0;
    std::size_t signature_length = 0;
    if (authenticode_signature_in(data, size, signature_at, signature_length)) {
        FUZZ_REQUIRE(signature_at == 8 && data[signature_at] == 0x30);
        FUZZ_REQUIRE(signature_length <= image.u32(0) - 8 && image.u32(0) <= size);
    }

    // The version is read from within the bytes alone: a byte appended
    // changes nothing that was found.
    std::uint32_t version_ms = 0;
    std::uint32_t version_ls = 0;
    if (image_file_version(data, size, version_ms, version_ls)) {
        std::vector<char> longer(data, data + size);
        longer.push_back('\0');
        std::uint32_t longer_ms = 0;
        std::uint32_t longer_ls = 0;
        FUZZ_REQUIRE(image_file_version(reinterpret_cast<const unsigned char*>(longer.data()), longer.size(),
                                        longer_ms, longer_ls));
        FUZZ_REQUIRE(longer_ms == version_ms && longer_ls == version_ls);
    }

    // The names, too, are read from within the bytes alone, and from within
    // the version block's own length.
    product_names_t names;
    if (image_product_names(data, size, names)) {
        std::vector<unsigned char> longer(data, data + size);
        longer.push_back(0);
        product_names_t longer_names;
        FUZZ_REQUIRE(image_product_names(longer.data(), longer.size(), longer_names));
        FUZZ_REQUIRE(longer_names.values == names.values);
        FUZZ_REQUIRE(product_name_differences(names, names).empty());
    }
    // A block names nothing unless the bytes hold its whole length, and
    // nothing beyond that length changes what it names.
    const product_names_t block_names = version_block_product_names(data, size);
    const std::uint64_t block_length = image.u16(0);
    if (block_length > size) {
        FUZZ_REQUIRE(block_names.values == product_names_t{}.values);
    } else {
        std::vector<unsigned char> longer(data, data + size);
        longer.push_back(0);
        FUZZ_REQUIRE(version_block_product_names(longer.data(), longer.size()).values == block_names.values);
        FUZZ_REQUIRE(version_block_product_names(data, static_cast<std::size_t>(block_length)).values ==
                     block_names.values);
    }
    return 0;
}
