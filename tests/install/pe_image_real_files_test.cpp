#include "install/pe_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_folder.h"
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

}  // namespace
