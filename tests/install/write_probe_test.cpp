#include <gtest/gtest.h>

#include "install_folder.h"
#include "test_env.h"

namespace {

constexpr int answered_true = 10;
constexpr int answered_false = 20;

TEST(WriteProbe, SucceedsAndLeavesNoFileBehind) {
    install_folder folder;
    EXPECT_EQ(folder.run_updater(L"probe"), answered_true);
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
}

TEST(WriteProbe, EmptiesAndDeletesAnExistingProbeFile) {
    install_folder folder;
    const std::wstring probe = folder.path() + L"\\ombup.tst";
    write_file(probe, "left from before");
    // A second name for the same file shows what happened to its content.
    const std::wstring second_name = folder.path() + L"\\second-name";
    ASSERT_TRUE(CreateHardLinkW(second_name.c_str(), probe.c_str(), nullptr));

    EXPECT_EQ(folder.run_updater(L"probe"), answered_true);
    EXPECT_FALSE(file_exists(probe));
    EXPECT_TRUE(file_exists(second_name));
    EXPECT_EQ(read_file(second_name), "");
}

TEST(WriteProbe, FailsWhereNoFileCanBeCreated) {
    install_folder folder(install_folder::read_only);
    EXPECT_EQ(folder.run_updater(L"probe"), answered_false);
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
}

}  // namespace
