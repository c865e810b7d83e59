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
    EXPECT_EQ(product_log_of(folder, 4),
              (std::vector<std::string>{"start []", "close-request 1000 to window 1", "end", "start [-r -s]"}));
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

// Judged before it is written: a refusal, never a failed write.
TEST(InstallUpdate, EmptyDownloadIsRefusedAndClosesNothing) {
    install_folder folder;
    const std::wstring empty = fresh_test_folder(L"-download") + L"\\empty.bin";
    write_file(empty, "");
    const scoped_handle product = folder.start_product(1);
    expect_installation(folder, install_through_driver(folder, empty, false, false), write_t::refused);
    EXPECT_EQ(folder.product_log(), std::vector<std::string>{"start []"});
    EXPECT_EQ(wait_for_exit(product, 0), -1) << "the product was closed";
}

TEST(InstallUpdate, AProductClosedForAMoveThatFailsIsStartedAgain) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1);
    // Another program reads the executable for longer than the move waits.
    const scoped_file reader(CreateFileW(folder.product_exe().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(reader);
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false), write_t::failed);
    EXPECT_EQ(product_log_of(folder, 3), closed_and_restarted("-r -s"));
}

TEST(InstallUpdate, WhatAnEndedUpdaterLeftStagedGoesAndNothingElse) {
    install_folder folder;
    const std::vector<std::wstring> leftovers = {L"OmBry64.exe.1234.tmp", L"OmBry64.exe.4294967295.tmp"};
    const std::vector<std::wstring> kept = {L"OmBry64.exe.12a.tmp", L"OmBry64.exe.1234.tmp.bak", L"OmBry64.exe..tmp",
                                            L"OmBry32.exe.1234.tmp", L"notes.tmp"};
    for (const auto& names : {leftovers, kept})
        for (const std::wstring& name : names) write_file(folder.path() + L"\\" + name, "old");
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false), write_t::succeeded,
                        kept);
}

TEST(InstallUpdate, ABuildThatIsNotTheAnnouncedReleaseIsRefusedWithoutABox) {
    install_folder folder;
    const scoped_handle product = folder.start_product(1);
    // cversion.txt already says 2.5.2 while the host still has 2.5.1; and a
    // program without any version.
    expect_installation(folder, install_through_driver(folder, new_product_file(), false, false, L"252"),
                        write_t::refused);
    expect_installation(folder, install_through_driver(folder, test_program_dir() + L"\\install_driver.exe", false,
                                                       false),
                        write_t::refused);
    EXPECT_EQ(folder.product_log(), std::vector<std::string>{"start []"});
    EXPECT_EQ(wait_for_exit(product, 0), -1) << "the product was closed";
}

TEST(InstallUpdate, TheNewBuildMustComeFromThePublisherOfTheInstalledOne) {
    const std::wstring publisher = signed_product_file(L"2.5.1", L"publisher");
    const std::wstring flipped = fresh_test_folder(L"-tampered") + L"\\flipped.exe";
    const std::wstring truncated = fresh_test_folder(L"-tampered") + L"\\truncated.exe";
    std::string bytes = read_file(publisher);
    ASSERT_GT(bytes.size(), 5000u);
    write_file(truncated, bytes.substr(0, bytes.size() - 64));
    bytes[0x1000] = static_cast<char>(bytes[0x1000] ^ 1);  // in the code
    write_file(flipped, bytes);
    const std::wstring pinned = L"251 \"" + std::wstring(test_publisher) + L"\"";

    const struct {
        const char* name;
        std::wstring installed, offered, arguments;
        write_t expected;
    } cases[] = {
        {"same publisher", signed_product_file(L"2.5.0", L"publisher"), publisher, L"", write_t::succeeded},
        {"renewed certificate", signed_product_file(L"2.5.0", L"publisher"),
         signed_product_file(L"2.5.1", L"renewed"), L"", write_t::succeeded},
        {"another organisation", signed_product_file(L"2.5.0", L"publisher"),
         signed_product_file(L"2.5.1", L"impostor"), L"", write_t::refused},
        {"unsigned", signed_product_file(L"2.5.0", L"publisher"), new_product_file(), L"", write_t::refused},
        {"one byte changed", signed_product_file(L"2.5.0", L"publisher"), flipped, L"", write_t::refused},
        {"signature cut short", signed_product_file(L"2.5.0", L"publisher"), truncated, L"", write_t::refused},
        {"unsigned product, unsigned build", old_product_file(), new_product_file(), L"", write_t::succeeded},
        {"required, unsigned", old_product_file(), new_product_file(), pinned, write_t::refused},
        {"required, signed by it", old_product_file(), publisher, pinned, write_t::succeeded},
        {"required, another organisation", signed_product_file(L"2.5.0", L"impostor"),
         signed_product_file(L"2.5.1", L"impostor"), L"251 \"CN=OmBry Test Publisher, O=OmBry Test, C=VN\"",
         write_t::refused},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        install_folder folder;
        folder.install_product(test.installed);
        expect_installation(folder, install_through_driver(folder, test.offered, false, false, test.arguments),
                            test.expected, {}, test.offered);
    }
}

}  // namespace
