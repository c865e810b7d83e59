#include <gtest/gtest.h>

#include <algorithm>

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

TEST(WriteProbe, LeavesAnExistingProbeFileAlone) {
    install_folder folder;
    const std::wstring probe = folder.path() + L"\\ombup.tst";
    write_file(probe, "left from before");
    // A second name for the same file shows what happened to its content.
    const std::wstring second_name = folder.path() + L"\\second-name";
    ASSERT_TRUE(CreateHardLinkW(second_name.c_str(), probe.c_str(), nullptr));

    EXPECT_EQ(folder.run_updater(L"probe"), answered_true);
    EXPECT_EQ(read_file(probe), "left from before");
    EXPECT_EQ(read_file(second_name), "left from before");
    std::vector<std::wstring> expected = folder.expected_files();
    expected.insert(expected.end(), {L"ombup.tst", L"second-name"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(folder.path()), expected);
}

TEST(WriteProbe, FailsWhereNoFileCanBeCreated) {
    install_folder folder(install_folder::read_only);
    EXPECT_EQ(folder.run_updater(L"probe"), answered_false);
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
}

}  // namespace
