#include "install/install.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "install_folder.h"
#include "test_env.h"

namespace {

const std::vector<std::wstring> installed_files = {L"OmBry64.exe", L"install_driver.exe"};
const std::vector<std::wstring> installed_files_and_log = {L"OmBry64.exe", L"fake_product.cfg", L"fake_product.log",
                                                           L"install_driver.exe"};

// The restarted product writes its start line in its own time.
bool wait_for_log_lines(const install_folder& folder, size_t count) {
    return wait_until([&] { return folder.product_log().size() >= count; });
}

TEST(InstallUpdate, ProductNotRunningIsReplacedAndNotStarted) {
    install_folder folder;
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, false);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_FALSE(outcome.write_error_shown);
    EXPECT_GE(outcome.ms_after_ok, 1000u) << "the pause between the close passes";

    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file())) << "not the new product";
    EXPECT_EQ(files_in(folder.path()), installed_files) << "no log: never started, never asked to close";
    EXPECT_TRUE(processes_running(folder.product_exe()).empty());
}

TEST(InstallUpdate, TwoWindowsAreClosedOneAfterTheOtherAndTheProductStartedOnce) {
    install_folder folder;
    const scoped_handle product = folder.start_product(2);
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, false);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_FALSE(outcome.write_error_shown);
    EXPECT_EQ(wait_for_exit(product, 10000), 0) << "the first product has ended";
    // Started before the driver ended, so already there if started at all.
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);

    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file())) << "not the new product";
    EXPECT_EQ(files_in(folder.path()), installed_files_and_log);

    ASSERT_TRUE(wait_for_log_lines(folder, 4));
    std::vector<std::string> log = folder.product_log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "start []");
    std::sort(log.begin() + 1, log.begin() + 3);
    EXPECT_EQ(log[1], "close-request 1000 to window 1");
    EXPECT_EQ(log[2], "close-request 1000 to window 2");
    EXPECT_EQ(log[3], "start [-r -s]");
}

TEST(InstallUpdate, PFlagIsPassedOnToTheRestartedProduct) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1);
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), true, false);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_FALSE(outcome.write_error_shown);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file())) << "not the new product";

    ASSERT_TRUE(wait_for_log_lines(folder, 3));
    EXPECT_EQ(folder.product_log(),
              (std::vector<std::string>{"start []", "close-request 1000 to window 1", "start [-r -p -s]"}));
}

TEST(InstallUpdate, AProductStillEndingHoldsItsFileOnlyForAMoment) {
    install_folder folder;
    // Still running when the second close pass finds no window left.
    const scoped_handle product = folder.start_product(1, "linger=1500\n");
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, false);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_FALSE(outcome.write_error_shown);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file())) << "not the new product";
    EXPECT_EQ(files_in(folder.path()), installed_files_and_log);
    ASSERT_TRUE(wait_for_log_lines(folder, 3));
    EXPECT_EQ(folder.product_log(),
              (std::vector<std::string>{"start []", "close-request 1000 to window 1", "start [-r -s]"}));
}

TEST(InstallUpdate, FailedWriteInAReadOnlyFolderKeepsTheOldExecutable) {
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "not silent");
        install_folder folder(install_folder::read_only, silent ? L"-silent" : L"");
        const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, silent);
        EXPECT_EQ(outcome.exit_code, 0);
        EXPECT_EQ(outcome.write_error_shown, !silent);
        EXPECT_TRUE(same_content(folder.product_exe(), old_product_file())) << "not the old product";
        EXPECT_EQ(files_in(folder.path()), installed_files);
        EXPECT_TRUE(processes_running(folder.product_exe()).empty());
    }
}

TEST(InstallUpdate, EmptyDownloadIsAFailedWriteAndKeepsTheOldExecutable) {
    install_folder folder;
    const std::wstring empty = fresh_test_folder(L"-download") + L"\\empty.bin";
    write_file(empty, "");
    const scoped_handle product = folder.start_product(1);
    const install_outcome_t outcome = install_through_driver(folder, empty, false, false);
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_TRUE(outcome.write_error_shown);
    EXPECT_TRUE(same_content(folder.product_exe(), old_product_file())) << "not the old product";
    EXPECT_EQ(files_in(folder.path()), installed_files_and_log);

    // Closed for the update, so started again although nothing was written.
    ASSERT_TRUE(wait_for_log_lines(folder, 3));
    EXPECT_EQ(folder.product_log(),
              (std::vector<std::string>{"start []", "close-request 1000 to window 1", "start [-r -s]"}));
}

}  // namespace
