#include "formats/pe_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<char> bytes_of(const std::string& text) { return std::vector<char>(text.begin(), text.end()); }

// A small image laid out as a linker lays one out: PE header at 0x80, the
// optional header, two section headers, headers padded to 0x200, then 0x200
// bytes of raw data for each section, the last one ending the file.
constexpr std::size_t pe_at = 0x80;
constexpr std::size_t file_header_at = pe_at + 4;
constexpr std::size_t optional_at = file_header_at + 20;
constexpr std::size_t raw_section_size = 0x200;

struct image_t {
    std::vector<char> bytes;
    std::size_t section_table;
    std::size_t directories;

    void put16(std::size_t at, std::uint16_t value) {
        bytes[at] = static_cast<char>(value & 0xFF);
        bytes[at + 1] = static_cast<char>(value >> 8);
    }
    void put32(std::size_t at, std::uint32_t value) {
        put16(at, static_cast<std::uint16_t>(value & 0xFFFF));
        put16(at + 2, static_cast<std::uint16_t>(value >> 16));
    }
};

image_t make_image(int bits) {
    const bool wide = bits == 64;
    const std::size_t optional_size = wide ? 0xF0 : 0xE0;
    image_t image{std::vector<char>(0x200 + 2 * raw_section_size, '\0'), optional_at + optional_size,
                  optional_at + (wide ? 112 : 96)};
    image.bytes[0] = 'M';
    image.bytes[1] = 'Z';
    image.put32(0x3C, pe_at);
    image.bytes[pe_at] = 'P';
    image.bytes[pe_at + 1] = 'E';
    image.put16(file_header_at, wide ? 0x8664 : 0x014C);
    image.put16(file_header_at + 2, 2);
    image.put16(file_header_at + 16, static_cast<std::uint16_t>(optional_size));
    image.put16(file_header_at + 18, wide ? 0x0022 : 0x0102);
    image.put16(optional_at, wide ? 0x020B : 0x010B);
    image.put32(optional_at + 60, 0x200);
    image.put32(image.directories - 4, 16);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t header = image.section_table + 40 * i;
        image.put32(header + 8, raw_section_size);
        image.put32(header + 12, static_cast<std::uint32_t>(0x1000 * (i + 1)));
        image.put32(header + 16, raw_section_size);
        image.put32(header + 20, static_cast<std::uint32_t>(0x200 + raw_section_size * i));
    }
    return image;
}

TEST(ImageCheck, RejectsEveryCutOffImage) {
    for (int bits : {32, 64}) {
        const std::vector<char> whole = make_image(bits).bytes;
        ASSERT_TRUE(is_installable_image(whole, bits)) << bits;
        EXPECT_FALSE(is_installable_image(whole, 96 - bits)) << bits;
        // From empty, through the headers, to one byte short of the end of the last section.
        for (std::size_t size = 0; size < whole.size(); ++size)
            EXPECT_FALSE(is_installable_image(std::vector<char>(whole.data(), whole.data() + size), bits))
                << bits << "-bit image cut to " << size << " bytes";
    }
}

TEST(ImageCheck, RejectsPagesAndOtherText) {
    EXPECT_FALSE(is_installable_image(std::vector<char>(), 64));
    EXPECT_FALSE(is_installable_image(nullptr, 0, 64));
    EXPECT_FALSE(is_installable_image(bytes_of("404: not found"), 64));
    std::string page = "<!DOCTYPE html>\n<html><head><title>Not Found</title></head><body>";
    page += std::string(4096, ' ') + "</body></html>\n";
    EXPECT_FALSE(is_installable_image(bytes_of(page), 64));
    EXPECT_FALSE(is_installable_image(bytes_of("MZ" + std::string(8190, '\xFF')), 64));
}

TEST(ImageCheck, RejectsHeadersThatDoNotDescribeAWholeExecutable) {
    struct case_t {
        const char* what;
        void (*change)(image_t&);
    };
    const case_t cases[] = {
        {"no PE signature", [](image_t& i) { i.bytes[pe_at + 1] = 'X'; }},
        {"PE header beyond the end", [](image_t& i) { i.put32(0x3C, 0x10000); }},
        {"PE header offset that wraps around", [](image_t& i) { i.put32(0x3C, 0xFFFFFFF0u); }},
        {"a DLL", [](image_t& i) { i.put16(file_header_at + 18, 0x2022); }},
        {"not marked executable", [](image_t& i) { i.put16(file_header_at + 18, 0x0020); }},
        {"no sections", [](image_t& i) { i.put16(file_header_at + 2, 0); }},
        {"more section headers than bytes", [](image_t& i) { i.put16(file_header_at + 2, 0xFFFF); }},
        {"optional header too small", [](image_t& i) { i.put16(file_header_at + 16, 0); }},
        {"optional header beyond the end", [](image_t& i) { i.put16(file_header_at + 16, 0xFFFF); }},
        {"32-bit optional header", [](image_t& i) { i.put16(optional_at, 0x010B); }},
        {"headers larger than the file", [](image_t& i) { i.put32(optional_at + 60, 0x601); }},
        {"section data beyond the end", [](image_t& i) { i.put32(i.section_table + 40 + 16, 0x201); }},
        {"section data offset that wraps around",
         [](image_t& i) { i.put32(i.section_table + 20, 0xFFFFFFFFu); }},
        {"certificates beyond the end",
         [](image_t& i) {
             i.put32(i.directories + 4 * 8, 0x600);
             i.put32(i.directories + 4 * 8 + 4, 0x10);
         }},
    };
    for (const case_t& c : cases) {
        image_t image = make_image(64);
        c.change(image);
        EXPECT_FALSE(is_installable_image(image.bytes, 64)) << c.what;
    }

    // Sections without raw data and certificates within the file are fine.
    image_t image = make_image(64);
    image.put32(image.section_table + 16, 0);
    image.put32(image.section_table + 20, 0xFFFFFFFFu);
    image.put32(image.directories + 4 * 8, 0x5F0);
    image.put32(image.directories + 4 * 8 + 4, 0x10);
    EXPECT_TRUE(is_installable_image(image.bytes, 64));
}

// Version blocks laid out as resource compilers write them: three words,
// the key, the value and the children, each from a multiple of four.
std::string utf16(const std::wstring& text) {
    std::string bytes;
    for (const wchar_t unit : text + L'\0') {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::string version_node(const std::wstring& key, const std::string& value, std::size_t value_length, bool text,
                         const std::vector<std::string>& children = {}) {
    const auto pad = [](std::string& bytes) { bytes.resize((bytes.size() + 3) & ~std::size_t{3}, '\0'); };
    std::string node(6, '\0');
    node += utf16(key);
    pad(node);
    node += value;
    for (const std::string& child : children) {
        pad(node);
        node += child;
    }
    const std::size_t words[] = {node.size(), value_length, text ? 1u : 0u};
    for (std::size_t i = 0; i < 3; ++i) {
        node[2 * i] = static_cast<char>(words[i] & 0xFF);
        node[2 * i + 1] = static_cast<char>(words[i] >> 8);
    }
    return node;
}

std::string version_string(const std::wstring& key, const std::wstring& value) {
    return version_node(key, utf16(value), value.size() + 1, true);
}

std::string version_block(const std::vector<std::string>& tables, bool var_first = false) {
    std::string fixed(52, '\0');
    fixed[0] = '\xBD', fixed[1] = '\x04', fixed[2] = '\xEF', fixed[3] = '\xFE';
    const std::string strings = version_node(L"StringFileInfo", "", 0, true, tables);
    const std::string vars = version_node(L"VarFileInfo", "", 0, true,
                                          {version_node(L"Translation", std::string("\x09\x04\xB0\x04", 4), 4, false)});
    return version_node(L"VS_VERSION_INFO", fixed, fixed.size(), false,
                        var_first ? std::vector<std::string>{vars, strings} : std::vector<std::string>{strings, vars});
}

product_names_t names_in(const std::string& block) {
    return version_block_product_names(reinterpret_cast<const unsigned char*>(block.data()), block.size());
}

product_names_t names(std::optional<std::wstring> product, std::optional<std::wstring> internal,
                      std::optional<std::wstring> original) {
    return {{std::move(product), std::move(internal), std::move(original)}};
}

TEST(ProductNames, AreReadFromTheFirstStringTableAlone) {
    const std::string first = version_node(
        L"040904b0", "", 0, true,
        {version_string(L"FileDescription", L"OmBry"), version_string(L"ProductName", L"OmBry"),
         version_string(L"InternalName", L"OmBry"), version_string(L"ProductName", L"Later"),
         version_string(L"Comments", L"OriginalFilename")});
    const std::string second = version_node(L"042a04b0", "", 0, true,
                                            {version_string(L"ProductName", L"OmBry Auto Update"),
                                             version_string(L"OriginalFilename", L"ombup")});
    for (const bool var_first : {false, true}) {
        const product_names_t found = names_in(version_block({first, second}, var_first));
        EXPECT_EQ(found.values, names(L"OmBry", L"OmBry", std::nullopt).values) << var_first;
    }
    EXPECT_EQ(names_in(version_block({second, first})).values,
              names(L"OmBry Auto Update", std::nullopt, L"ombup").values);
    EXPECT_EQ(names_in(version_block({})).values, product_names_t{}.values);
}

TEST(ProductNames, NothingOutsideTheBlockOrItsOwnLengthsIsRead) {
    const std::string block =
        version_block({version_node(L"040904b0", "", 0, true, {version_string(L"ProductName", L"OmBry")})});
    ASSERT_EQ(names_in(block).values, names(L"OmBry", std::nullopt, std::nullopt).values);
    // A block whose own length runs past the bytes names nothing.
    for (std::size_t size = 0; size < block.size(); ++size)
        EXPECT_EQ(version_block_product_names(reinterpret_cast<const unsigned char*>(block.data()), size).values,
                  product_names_t{}.values)
            << size;
    // A value without its terminator ends with its node.
    std::string unterminated = version_string(L"ProductName", L"OmBry");
    unterminated.resize(unterminated.size() - 2);
    unterminated[0] = static_cast<char>(unterminated.size());
    EXPECT_EQ(names_in(version_block({version_node(L"040904b0", "", 0, true, {unterminated})})).values,
              names(L"OmBry", std::nullopt, std::nullopt).values);
    // A string whose length runs past its table is not read.
    std::string overlong = version_string(L"ProductName", L"OmBry");
    overlong[0] = static_cast<char>(overlong.size() + 4);
    EXPECT_EQ(names_in(version_block({version_node(L"040904b0", "", 0, true, {overlong})})).values,
              product_names_t{}.values);
    EXPECT_EQ(version_block_product_names(nullptr, 64).values, product_names_t{}.values);
}

TEST(ProductNames, TheSameProductHasTheInstalledNames) {
    const product_names_t installed = names(L"OmBry", std::nullopt, L"OmBry.exe");
    using keys = std::vector<std::size_t>;
    EXPECT_EQ(product_name_differences(installed, installed), keys{});
    // Names the installed build lacks are not compared; ProductName always is.
    EXPECT_EQ(product_name_differences(names(L"OmBry", L"anything", L"OmBry.exe"), installed), keys{});
    EXPECT_EQ(product_name_differences(names(L"OmBry Auto Update", L"OmBry Auto Update", L"ombup"), installed),
              (keys{0, 2}));
    EXPECT_EQ(product_name_differences(names(L"ombry", std::nullopt, std::nullopt), installed), (keys{0, 2}));
    EXPECT_EQ(product_name_differences(names(L"OmBry", std::nullopt, std::nullopt), names(std::nullopt, L"OmBry", {})),
              (keys{0, 1}));
}

}  // namespace
