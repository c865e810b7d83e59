#include "install/pe_image.h"

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
    std::size_t directory_count_at;
};

bool width_for_bits(int bits, width_t& width) {
    if (bits == 32) {
        width = {machine_i386, magic_pe32, directory_count_at_pe32};
        return true;
    }
    if (bits == 64) {
        width = {machine_amd64, magic_pe32_plus, directory_count_at_pe32_plus};
        return true;
    }
    return false;
}

bool sections_are_whole(const byte_view& image, std::size_t table, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t header = table + i * section_header_size;
        const std::uint32_t raw_size = image.u32(header + 16);
        const std::uint32_t raw_pointer = image.u32(header + 20);
        if (raw_size != 0 && !image.has(raw_pointer, raw_size)) return false;
    }
    return true;
}

// A signed executable carries its certificates after the last section, where
// a cut-off would otherwise go unseen. Its directory entry holds a file offset.
bool certificates_are_whole(const byte_view& image, std::size_t optional, std::size_t optional_size,
                            std::size_t directory_count_at) {
    const std::size_t directories = directory_count_at + 4;
    if (image.u32(optional + directory_count_at) <= certificate_directory_index) return true;
    const std::size_t entry = directories + certificate_directory_index * data_directory_entry_size;
    if (entry + data_directory_entry_size > optional_size) return true;
    const std::uint32_t offset = image.u32(optional + entry);
    const std::uint32_t size = image.u32(optional + entry + 4);
    return size == 0 || image.has(offset, size);
}

}  // namespace

bool is_installable_image(const unsigned char* bytes, std::size_t size, int bits) {
    width_t width{};
    if (bytes == nullptr || !width_for_bits(bits, width)) return false;
    const byte_view image(bytes, size);

    if (!image.has(0, dos_header_size) || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    const std::size_t pe = image.u32(new_header_pointer_at);
    if (!image.has(pe, signature_size + file_header_size)) return false;
    if (bytes[pe] != 'P' || bytes[pe + 1] != 'E' || bytes[pe + 2] != 0 || bytes[pe + 3] != 0) return false;

    const std::size_t file_header = pe + signature_size;
    const std::size_t section_count = image.u16(file_header + 2);
    const std::size_t optional_size = image.u16(file_header + 16);
    const std::uint16_t characteristics = image.u16(file_header + 18);
    if (image.u16(file_header) != width.machine) return false;
    if ((characteristics & characteristic_executable) == 0 || (characteristics & characteristic_dll) != 0) return false;
    if (section_count == 0) return false;

    const std::size_t optional = file_header + file_header_size;
    if (optional_size < width.directory_count_at + 4 || !image.has(optional, optional_size)) return false;
    if (image.u16(optional) != width.magic) return false;

    const std::size_t section_table = optional + optional_size;
    if (!image.has(section_table, section_count * section_header_size)) return false;
    if (!image.has(0, image.u32(optional + size_of_headers_at))) return false;

    return sections_are_whole(image, section_table, section_count) &&
           certificates_are_whole(image, optional, optional_size, width.directory_count_at);
}

bool is_installable_image(const std::vector<char>& bytes, int bits) {
    return is_installable_image(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bits);
}
