#include "install/pe_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_folder.h"
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
        {new_product_file(other_bits), 251},
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

}  // namespace
