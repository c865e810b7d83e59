#include "install/install.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "install_folder.h"
#include "test_env.h"

namespace {

// The log of a product with one window that was closed for the update and
// started again with that command-line tail.
std::vector<std::string> closed_and_restarted(const std::string& tail) {
    return {"start []", "close-request 1000 to window 1", "start [" + tail + "]"};
}

TEST(InstallUpdate, ProductNotRunningIsReplacedAndNotStarted) {
    install_folder folder;
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, false);
    expect_installation(folder, outcome, write_t::succeeded);
    EXPECT_GE(outcome.ms_after_ok, 1000u) << "the pause between the close passes";
    EXPECT_FALSE(file_exists(folder.path() + L"\\fake_product.log")) << "never started, never asked to close";
    EXPECT_TRUE(processes_running(folder.product_exe()).empty());
}

TEST(InstallUpdate, TwoWindowsAreClosedOneAfterTheOtherAndTheProductStartedOnce) {
    install_folder folder;
    const scoped_handle product = folder.start_product(2);
    const install_outcome_t outcome = install_through_driver(folder, new_product_file(), false, false);
    expect_installation(folder, outcome, write_t::succeeded);
    EXPECT_EQ(wait_for_exit(product, 10000), 0) << "the first product has ended";
    // Started before the driver ended, so already there if started at all.
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);

    std::vector<std::string> log = product_log_of(folder, 4);
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
    expect_installation(folder, install_through_driver(folder, new_product_file(), true, false), write_t::succeeded);
    EXPECT_EQ(product_log_of(folder, 3), closed_and_restarted("-r -p -s"));
}

TEST(InstallUpdate, AProductStillEndingHoldsItsFileOnlyForAMoment) {
    install_folder folder;
    // Still running when the second close pass finds no window left.
    const scoped_handle product = folder.start_product(1, "linger=1500\n");
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false), write_t::succeeded);
    EXPECT_EQ(product_log_of(folder, 3), closed_and_restarted("-r -s"));
}

TEST(InstallUpdate, FailedWriteInAReadOnlyFolderKeepsTheOldExecutable) {
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "not silent");
        install_folder folder(install_folder::read_only, silent ? L"-silent" : L"");
        expect_installation(folder, install_through_driver(folder, new_product_file(), false, silent),
                            silent ? write_t::failed_silently : write_t::failed);
        EXPECT_TRUE(processes_running(folder.product_exe()).empty());
    }
}

TEST(InstallUpdate, EmptyDownloadIsAFailedWriteAndKeepsTheOldExecutable) {
    install_folder folder;
    const std::wstring empty = fresh_test_folder(L"-download") + L"\\empty.bin";
    write_file(empty, "");
    const scoped_handle product = folder.start_product(1);
    expect_installation(folder, install_through_driver(folder, empty, false, false), write_t::failed);
    // Closed for the update, so started again although nothing was written.
    EXPECT_EQ(product_log_of(folder, 3), closed_and_restarted("-r -s"));
}

}  // namespace
