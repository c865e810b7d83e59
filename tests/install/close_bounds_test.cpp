#include "install/install.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "install_folder.h"
#include "test_env.h"

namespace {

constexpr int answered_true = 10;

size_t close_requests_in(const std::vector<std::string>& log) {
    return static_cast<size_t>(std::count(log.begin(), log.end(), "close-request 1000 to window 1"));
}

TEST(CloseBounds, AProductThatIgnoresTheRequestsGetsNoMoreThanTheLimit) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1, "ignore-close\n");
    EXPECT_EQ(folder.run_updater(L"close"), answered_true);
    EXPECT_EQ(close_requests_in(folder.product_log()), static_cast<size_t>(close_request_limit));
    EXPECT_EQ(wait_for_exit(product, 0), -1) << "still running";
}

TEST(CloseBounds, AProductThatDoesNotAnswerIsGivenUpAfterTheTimeLimit) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1, "hang\n");
    const ULONGLONG started_at = GetTickCount64();
    EXPECT_EQ(folder.run_updater(L"close"), answered_true);
    const ULONGLONG elapsed = GetTickCount64() - started_at;
    EXPECT_GE(elapsed, close_time_limit_ms);
    // The product hangs for two minutes; ending well before that is giving up.
    EXPECT_LT(elapsed, close_time_limit_ms + 60000) << "gave up";
}

TEST(CloseBounds, AStubbornProductKeepsItsFileAndIsLeftAloneWithoutASecondCopy) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1, "ignore-close\n");
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false), write_t::failed);

    // Both close passes give up, and the move fails. A restart would have
    // been made before the driver ended.
    const std::vector<std::string> log = folder.product_log();
    EXPECT_EQ(log.size(), 2u * close_request_limit + 1);
    EXPECT_EQ(close_requests_in(log), 2u * close_request_limit);
    EXPECT_EQ(log.front(), "start []");
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);
    EXPECT_EQ(wait_for_exit(product, 0), -1) << "the first one still runs";
}

TEST(CloseBounds, AProductWhoseProcessOutlivesItsWindowsTooLongKeepsItsFileAndIsNotStartedAgain) {
    install_folder folder;
    const scoped_handle product =
        folder.start_product(1, "linger=" + std::to_string(product_exit_time_limit_ms + 60000) + "\n");
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false), write_t::failed);
    EXPECT_EQ(folder.product_log(), (std::vector<std::string>{"start []", "close-request 1000 to window 1"}));
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);
    EXPECT_EQ(wait_for_exit(product, 0), -1) << "the first one still runs";
}

}  // namespace
