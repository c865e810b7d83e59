#include "update/installed_version.h"

#include <gtest/gtest.h>

#include "test_env.h"
#include "update/launch_options.h"
#include "update/paths.h"

namespace {

// Beside this test program the build puts OmBry32.exe (file version 3.2.5.7),
// OmBry64.exe (1.12.3.0) and no_version.exe (no version resource).

TEST(InstalledVersion, ReadsTheProductBesideTheUpdater) {
    EXPECT_EQ(get_installed_version(32), 325);
    EXPECT_EQ(get_installed_version(64), 223);
}

TEST(InstalledVersion, NoResourceOrNoFileGivesZero) {
    EXPECT_EQ(file_version_code(test_program_dir() + L"\\no_version.exe"), 0);
    EXPECT_EQ(file_version_code(test_program_dir() + L"\\missing.exe"), 0);
    EXPECT_EQ(file_version_code(L""), 0);
}

TEST(InstalledVersion, AutomaticPathUsesTheSystemWidthAndTheInstalledVersion) {
    int bits = 0;
    version_code version = -1;
    bool p_flag = true, silent = true;
    ASSERT_TRUE(parse_launch_options(nullptr, bits, version, p_flag, silent));
    // A 64-bit process is never under WOW64, so this build takes the 32-bit branch.
    EXPECT_FALSE(process_runs_under_wow64());
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(version, 325);
    EXPECT_FALSE(p_flag);
    EXPECT_FALSE(silent);

    bits = 0;
    version = -1;
    ASSERT_TRUE(parse_launch_options(L"", bits, version, p_flag, silent));
    EXPECT_EQ(bits, 32);
    EXPECT_EQ(version, 325);
}

TEST(InstalledVersion, ExplicitOptionsDoNotLookAtTheFile) {
    int bits = 0;
    version_code version = 0;
    bool p_flag = false, silent = false;
    ASSERT_TRUE(parse_launch_options(L"-f64 -v250 -p", bits, version, p_flag, silent));
    EXPECT_EQ(bits, 64);
    EXPECT_EQ(version, 250);
    EXPECT_TRUE(p_flag);
}

TEST(ModulePath, NamesThisProgramAndItsFolder) {
    const std::wstring dir = get_module_directory();
    EXPECT_EQ(dir, test_program_dir());
    EXPECT_EQ(get_module_path(), dir + L"\\test_update.exe");
    EXPECT_EQ(get_installed_exe_path(32), dir + L"\\OmBry32.exe");
    EXPECT_EQ(get_installed_exe_path(64), dir + L"\\OmBry64.exe");
}

}  // namespace
