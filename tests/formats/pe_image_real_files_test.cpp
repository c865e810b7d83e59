#include "formats/pe_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "product_folder.h"
#include "update/installed_version.h"
#include "test_env.h"

namespace {

std::vector<char> bytes_of(const std::string& text) { return std::vector<char>(text.begin(), text.end()); }

TEST(ImageCheck, AcceptsRealExecutablesOnlyForTheirOwnWidth) {
    const std::string amd64 = read_file(new_product_file());
    const std::string i386 = read_file(test_program_dir() + L"\\sample_i386.exe");
    ASSERT_FALSE(amd64.empty());
    ASSERT_FALSE(i386.empty());
    EXPECT_TRUE(is_installable_image(bytes_of(amd64), 64));
    EXPECT_FALSE(is_installable_image(bytes_of(amd64), 32));
    EXPECT_TRUE(is_installable_image(bytes_of(i386), 32));
    EXPECT_FALSE(is_installable_image(bytes_of(i386), 64));
    EXPECT_FALSE(is_installable_image(bytes_of(i386), 16));
}

TEST(ImageVersion, ReadsWhatTheVersionApiReadsFromTheFile) {
    const struct {
        std::wstring file;
        version_code expected;
    } files[] = {
        {old_product_file(), 250},
        {new_product_file(), 251},
        {new_product_file(other_bits()), 251},
        {signed_product_file(L"2.5.1", L"publisher"), 251},
        {build_dir() + L"\\ombup.exe", 400},
        {test_program_dir() + L"\\sample_i386.exe", 0},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(narrow_utf8(file.file));
        const std::string bytes = read_file(file.file);
        ASSERT_FALSE(bytes.empty());
        EXPECT_EQ(image_version_code(bytes_of(bytes)), file.expected);
        EXPECT_EQ(file_version_code(file.file), file.expected);
    }
}

// The same rule read two ways: from a new build's bytes, and from the
// installed build through the version API.
TEST(ProductNames, ReadFromTheBytesAsThroughTheVersionApi) {
    const struct {
        std::wstring file;
        const wchar_t* product;
        const wchar_t* original;
    } files[] = {
        {old_product_file(), L"OmBry", L"OmBry.exe"},
        {signed_product_file(L"2.5.1", L"publisher"), L"OmBry", L"OmBry.exe"},
        {build_dir() + L"\\ombup.exe", L"OmBry Auto Update", L"ombup"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(narrow_utf8(file.file));
        const std::string bytes = read_file(file.file);
        product_names_t from_bytes;
        ASSERT_TRUE(
            image_product_names(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), from_bytes));
        EXPECT_EQ(from_bytes.values[0], file.product);
        EXPECT_EQ(from_bytes.values[2], file.original);
        const std::optional<product_names_t> from_file = file_product_names(file.file);
        ASSERT_TRUE(from_file.has_value());
        EXPECT_EQ(from_file->values, from_bytes.values);
    }
    // No version resource, or no file: no names to match.
    const std::wstring plain = test_program_dir() + L"\\sample_i386.exe";
    const std::string bytes = read_file(plain);
    product_names_t none;
    EXPECT_FALSE(image_product_names(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), none));
    EXPECT_FALSE(file_product_names(plain).has_value());
    EXPECT_FALSE(file_product_names(plain + L".missing").has_value());
}

}  // namespace
