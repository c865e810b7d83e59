#include "formats/pe_image.h"

#include <cstdint>

namespace {

constexpr std::uint16_t machine_i386 = 0x014C;
constexpr std::uint16_t machine_amd64 = 0x8664;
constexpr std::uint16_t magic_pe32 = 0x010B;
constexpr std::uint16_t magic_pe32_plus = 0x020B;
constexpr std::uint16_t characteristic_executable = 0x0002;
constexpr std::uint16_t characteristic_dll = 0x2000;

constexpr std::size_t dos_header_size = 64;
constexpr std::size_t new_header_pointer_at = 0x3C;
constexpr std::size_t signature_size = 4;
constexpr std::size_t file_header_size = 20;
constexpr std::size_t section_header_size = 40;
constexpr std::size_t data_directory_entry_size = 8;
constexpr std::size_t resource_directory_index = 2;
constexpr std::size_t certificate_directory_index = 4;

// Offsets in the optional header. The two layouts agree up to SizeOfHeaders
// and differ from ImageBase on, where PE32+ has wider fields.
constexpr std::size_t size_of_headers_at = 60;
constexpr std::size_t directory_count_at_pe32 = 92;
constexpr std::size_t directory_count_at_pe32_plus = 108;

// Every access goes through has(): an offset is added to another only once
// the first is known to lie within the bytes, so nothing can overflow.
class byte_view {
public:
    byte_view(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    bool has(std::size_t offset, std::size_t length) const { return offset <= size_ && length <= size_ - offset; }

    std::uint16_t u16(std::size_t offset) const {
        return static_cast<std::uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
    }
    std::uint32_t u32(std::size_t offset) const {
        return static_cast<std::uint32_t>(u16(offset)) | (static_cast<std::uint32_t>(u16(offset + 2)) << 16);
    }

private:
    const unsigned char* bytes_;
    std::size_t size_;
};

struct width_t {
    std::uint16_t machine;
    std::uint16_t magic;
};

bool width_for_bits(int bits, width_t& width) {
    if (bits == 32) {
        width = {machine_i386, magic_pe32};
        return true;
    }
    if (bits == 64) {
        width = {machine_amd64, magic_pe32_plus};
        return true;
    }
    return false;
}

// Where the parts of the headers lie, once each is known to lie within the bytes.
struct headers_t {
    std::uint16_t machine = 0;
    std::uint16_t magic = 0;
    std::uint16_t characteristics = 0;
    std::size_t section_count = 0;
    std::size_t optional = 0;
    std::size_t optional_size = 0;
    std::size_t directory_count_at = 0;  // in the optional header
    std::size_t section_table = 0;
};

bool read_headers(const unsigned char* bytes, const byte_view& image, headers_t& headers) {
    if (!image.has(0, dos_header_size) || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    const std::size_t pe = image.u32(new_header_pointer_at);
    if (!image.has(pe, signature_size + file_header_size)) return false;
    if (bytes[pe] != 'P' || bytes[pe + 1] != 'E' || bytes[pe + 2] != 0 || bytes[pe + 3] != 0) return false;

    const std::size_t file_header = pe + signature_size;
    headers.machine = image.u16(file_header);
    headers.section_count = image.u16(file_header + 2);
    headers.optional_size = image.u16(file_header + 16);
    headers.characteristics = image.u16(file_header + 18);
    headers.optional = file_header + file_header_size;
    if (headers.optional_size < 2 || !image.has(headers.optional, headers.optional_size)) return false;
    headers.magic = image.u16(headers.optional);
    if (headers.magic == magic_pe32) {
        headers.directory_count_at = directory_count_at_pe32;
    } else if (headers.magic == magic_pe32_plus) {
        headers.directory_count_at = directory_count_at_pe32_plus;
    } else {
        return false;
    }
    if (headers.optional_size < headers.directory_count_at + 4) return false;
    headers.section_table = headers.optional + headers.optional_size;
    return image.has(headers.section_table, headers.section_count * section_header_size);
}

// The data directory entry at index, if the optional header has it.
bool read_directory(const byte_view& image, const headers_t& headers, std::size_t index, std::uint32_t& address,
                    std::uint32_t& size) {
    if (image.u32(headers.optional + headers.directory_count_at) <= index) return false;
    const std::size_t entry = headers.directory_count_at + 4 + index * data_directory_entry_size;
    if (entry + data_directory_entry_size > headers.optional_size) return false;
    address = image.u32(headers.optional + entry);
    size = image.u32(headers.optional + entry + 4);
    return true;
}

bool sections_are_whole(const byte_view& image, const headers_t& headers) {
    for (std::size_t i = 0; i < headers.section_count; ++i) {
        const std::size_t header = headers.section_table + i * section_header_size;
        const std::uint32_t raw_size = image.u32(header + 16);
        const std::uint32_t raw_pointer = image.u32(header + 20);
        if (raw_size != 0 && !image.has(raw_pointer, raw_size)) return false;
    }
    return true;
}

// A signed executable carries its certificates after the last section, where
// a cut-off would otherwise go unseen. Its directory entry holds a file offset.
bool certificates_are_whole(const byte_view& image, const headers_t& headers) {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    if (!read_directory(image, headers, certificate_directory_index, offset, size)) return true;
    return size == 0 || image.has(offset, size);
}

// The file offset of the bytes at a relative virtual address, and how many
// of them the section's raw data holds from there; false when no section's
// raw data, within the bytes, holds it.
bool file_offset_of(const byte_view& image, const headers_t& headers, std::uint32_t address, std::size_t& offset,
                    std::size_t& available) {
    for (std::size_t i = 0; i < headers.section_count; ++i) {
        const std::size_t header = headers.section_table + i * section_header_size;
        const std::uint32_t virtual_address = image.u32(header + 12);
        const std::uint32_t raw_size = image.u32(header + 16);
        const std::uint32_t raw_pointer = image.u32(header + 20);
        if (address < virtual_address || address - virtual_address >= raw_size) continue;
        if (!image.has(raw_pointer, raw_size)) return false;
        offset = std::size_t{raw_pointer} + (address - virtual_address);
        available = raw_size - (address - virtual_address);
        return true;
    }
    return false;
}

// A directory of the resource tree: which entry to take from it.
constexpr std::uint32_t any_entry = 0xFFFFFFFF;
constexpr std::uint32_t subdirectory_flag = 0x80000000;
constexpr std::size_t resource_directory_size = 16;
constexpr std::size_t resource_entry_size = 8;
constexpr std::size_t resource_data_entry_size = 16;
constexpr std::uint32_t resource_type_version = 16;
constexpr std::uint32_t version_resource_name = 1;

// The offset (from the tree's root) that the entry with that numeric id
// points to, or the first entry's with any_entry; subdirectory says which
// kind the entry must point to.
bool find_resource_entry(const byte_view& tree, std::size_t directory, std::uint32_t id, bool subdirectory,
                         std::size_t& target) {
    if (!tree.has(directory, resource_directory_size)) return false;
    const std::size_t count = std::size_t{tree.u16(directory + 12)} + tree.u16(directory + 14);
    const std::size_t entries = directory + resource_directory_size;
    if (!tree.has(entries, count * resource_entry_size)) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = entries + i * resource_entry_size;
        if (id != any_entry && tree.u32(entry) != id) continue;
        const std::uint32_t points_to = tree.u32(entry + 4);
        if (((points_to & subdirectory_flag) != 0) != subdirectory) return false;
        target = points_to & ~subdirectory_flag;
        return true;
    }
    return false;
}

// The fixed part of a version block: after its three words and its
// zero-terminated key, at the next multiple of four from the block's start.
constexpr std::size_t version_block_header_size = 6;
constexpr std::size_t fixed_file_info_size = 52;
constexpr std::uint32_t fixed_file_info_signature = 0xFEEF04BD;

bool read_fixed_file_version(const byte_view& block, std::size_t size, std::uint32_t& version_ms,
                             std::uint32_t& version_ls) {
    if (size < version_block_header_size) return false;
    const std::size_t value_length = block.u16(2);
    std::size_t key_end = version_block_header_size;
    for (;; key_end += 2) {
        if (key_end + 2 > size) return false;
        if (block.u16(key_end) == 0) break;
    }
    const std::size_t value = (key_end + 2 + 3) & ~std::size_t{3};
    if (value_length < fixed_file_info_size || value > size || size - value < fixed_file_info_size) return false;
    if (block.u32(value) != fixed_file_info_signature) return false;
    version_ms = block.u32(value + 8);
    version_ls = block.u32(value + 12);
    return true;
}

// Where the version resource lies in the bytes, as the version API picks it
// from a file: the resource of type 16 named 1, in the first language it has.
bool find_version_block(const unsigned char* bytes, std::size_t size, std::size_t& block, std::size_t& block_size) {
    if (bytes == nullptr) return false;
    const byte_view image(bytes, size);
    headers_t headers;
    std::uint32_t tree_address = 0;
    std::uint32_t tree_size = 0;
    std::size_t root = 0;
    std::size_t tree_extent = 0;
    if (!read_headers(bytes, image, headers) ||
        !read_directory(image, headers, resource_directory_index, tree_address, tree_size) || tree_size == 0 ||
        !file_offset_of(image, headers, tree_address, root, tree_extent))
        return false;

    const byte_view tree(bytes + root, tree_extent);
    std::size_t names = 0;
    std::size_t languages = 0;
    std::size_t data_entry = 0;
    if (!find_resource_entry(tree, 0, resource_type_version, true, names) ||
        !find_resource_entry(tree, names, version_resource_name, true, languages) ||
        !find_resource_entry(tree, languages, any_entry, false, data_entry) ||
        !tree.has(data_entry, resource_data_entry_size))
        return false;

    std::size_t available = 0;
    block_size = tree.u32(data_entry + 4);
    return file_offset_of(image, headers, tree.u32(data_entry), block, available) && block_size <= available;
}

// A node of a version block: its length, its value's length (in bytes, or
// in UTF-16 units for text) and its type, each a word; its zero-terminated
// UTF-16 key; from the next multiple of four its value; from the next
// multiple of four after that its children. Offsets are from the block's
// start, which the resource aligns.
struct version_node_t {
    std::size_t key = 0;
    std::size_t value = 0;
    std::size_t children = 0;
    std::size_t end = 0;
};

std::size_t align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// The node at start, which must end by limit (within the view).
bool read_version_node(const byte_view& block, std::size_t start, std::size_t limit, version_node_t& node) {
    if (start > limit || limit - start < version_block_header_size) return false;
    const std::size_t length = block.u16(start);
    if (length < version_block_header_size || length > limit - start) return false;
    node.end = start + length;
    node.key = start + version_block_header_size;
    std::size_t key_end = node.key;
    for (;; key_end += 2) {
        if (key_end + 2 > node.end) return false;
        if (block.u16(key_end) == 0) break;
    }
    const std::size_t value_units = block.u16(start + 2);
    const std::size_t value_bytes = block.u16(start + 4) == 1 ? 2 * value_units : value_units;
    node.value = align4(key_end + 2);
    node.children = align4(node.value + value_bytes);
    return true;
}

// Whether the node's key is that ASCII text. The key ends within the node,
// and nothing past its first difference from the text is read.
bool key_is(const byte_view& block, const version_node_t& node, const char* key) {
    std::size_t at = node.key;
    for (; *key != '\0'; ++key, at += 2)
        if (block.u16(at) != static_cast<unsigned char>(*key)) return false;
    return block.u16(at) == 0;
}

// The strings of a string table that name the product; the first of each key counts.
void read_string_table(const byte_view& block, const version_node_t& table, product_names_t& names) {
    for (std::size_t at = table.children; at < table.end; at = align4(at)) {
        version_node_t string;
        if (!read_version_node(block, at, table.end, string)) return;
        for (std::size_t i = 0; i < product_name_keys.size(); ++i) {
            if (names.values[i] || !key_is(block, string, product_name_keys[i])) continue;
            std::wstring value;
            for (std::size_t unit = string.value; unit + 2 <= string.end && block.u16(unit) != 0; unit += 2)
                value += static_cast<wchar_t>(block.u16(unit));
            names.values[i] = std::move(value);
        }
        at = string.end;
    }
}

}  // namespace

bool is_installable_image(const unsigned char* bytes, std::size_t size, int bits) {
    width_t width{};
    if (bytes == nullptr || !width_for_bits(bits, width)) return false;
    const byte_view image(bytes, size);
    headers_t headers;
    if (!read_headers(bytes, image, headers)) return false;
    if (headers.machine != width.machine || headers.magic != width.magic) return false;
    if ((headers.characteristics & characteristic_executable) == 0 ||
        (headers.characteristics & characteristic_dll) != 0)
        return false;
    if (headers.section_count == 0) return false;
    if (!image.has(0, image.u32(headers.optional + size_of_headers_at))) return false;
    return sections_are_whole(image, headers) && certificates_are_whole(image, headers);
}

bool is_installable_image(const std::vector<char>& bytes, int bits) {
    return is_installable_image(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bits);
}

bool declared_certificate_table(const unsigned char* bytes, std::size_t size, std::uint32_t& offset,
                                std::uint32_t& table_size) {
    if (bytes == nullptr) return false;
    const byte_view image(bytes, size);
    headers_t headers;
    std::uint32_t at = 0;
    std::uint32_t length = 0;
    if (!read_headers(bytes, image, headers) ||
        !read_directory(image, headers, certificate_directory_index, at, length) || length == 0)
        return false;
    offset = at;
    table_size = length;
    return true;
}

bool authenticode_signature_in(const unsigned char* table, std::size_t size, std::size_t& at, std::size_t& length) {
    // WIN_CERTIFICATE: dwLength, wRevision 2.0, wCertificateType PKCS_SIGNED_DATA.
    constexpr std::size_t entry_header_size = 8;
    constexpr std::uint16_t revision_2_0 = 0x0200;
    constexpr std::uint16_t type_pkcs_signed_data = 0x0002;
    if (table == nullptr) return false;
    const byte_view entries(table, size);
    if (!entries.has(0, entry_header_size) || entries.u16(4) != revision_2_0 ||
        entries.u16(6) != type_pkcs_signed_data)
        return false;
    const std::uint32_t entry_size = entries.u32(0);
    if (entry_size <= entry_header_size || !entries.has(0, entry_size)) return false;
    // The entry is padded to eight bytes; the signature is one DER SEQUENCE.
    const std::size_t content = entry_header_size;
    const std::size_t content_size = entry_size - entry_header_size;
    if (content_size < 2 || table[content] != 0x30) return false;
    std::size_t header = 2;
    std::size_t body = table[content + 1];
    if (body > 0x80 && body <= 0x84) {
        header += body - 0x80;
        if (header > content_size) return false;
        body = 0;
        for (std::size_t i = 2; i < header; ++i) body = (body << 8) | table[content + i];
    } else if (body >= 0x80) {
        return false;
    }
    if (body > content_size - header) return false;
    at = content;
    length = header + body;
    return true;
}

bool image_file_version(const unsigned char* bytes, std::size_t size, std::uint32_t& version_ms,
                        std::uint32_t& version_ls) {
    std::size_t block = 0;
    std::size_t block_size = 0;
    if (!find_version_block(bytes, size, block, block_size)) return false;
    return read_fixed_file_version(byte_view(bytes + block, block_size), block_size, version_ms, version_ls);
}

product_names_t version_block_product_names(const unsigned char* block, std::size_t size) {
    product_names_t names;
    if (block == nullptr) return names;
    const byte_view view(block, size);
    version_node_t root;
    if (!read_version_node(view, 0, size, root)) return names;
    for (std::size_t at = root.children; at < root.end; at = align4(at)) {
        version_node_t child;
        if (!read_version_node(view, at, root.end, child)) break;
        if (key_is(view, child, "StringFileInfo")) {
            version_node_t table;
            if (read_version_node(view, child.children, child.end, table)) read_string_table(view, table, names);
            break;
        }
        at = child.end;
    }
    return names;
}

bool image_product_names(const unsigned char* bytes, std::size_t size, product_names_t& names) {
    std::size_t block = 0;
    std::size_t block_size = 0;
    if (!find_version_block(bytes, size, block, block_size)) return false;
    names = version_block_product_names(bytes + block, block_size);
    return true;
}

std::vector<std::size_t> product_name_differences(const product_names_t& offered, const product_names_t& installed) {
    std::vector<std::size_t> differences;
    for (std::size_t i = 0; i < product_name_keys.size(); ++i) {
        const bool compared = i == 0 || installed.values[i].has_value();
        if (compared && offered.values[i] != installed.values[i]) differences.push_back(i);
    }
    return differences;
}
