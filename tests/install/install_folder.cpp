#include "install_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui_driver.h"

namespace {

const std::wstring caption = L"OmBry - Auto update";

bool has_ended(const scoped_handle& process) { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }

// The first box the driver shows; null when it ends without one.
HWND wait_for_box_or_end(const scoped_handle& driver) {
    HWND box = nullptr;
    EXPECT_TRUE(wait_until(
        [&] {
            box = find_dialog(caption);
            return box != nullptr || has_ended(driver);
        },
        60000));
    return box;
}

}  // namespace

install_outcome_t install_through_driver(const install_folder& folder, const std::wstring& bytes_file, bool p_flag,
                                         bool silent, const std::wstring& more_arguments) {
    install_outcome_t outcome;
    const scoped_handle driver = folder.start_updater(L"install \"" + bytes_file + L"\" 64 " + (p_flag ? L"1" : L"0") +
                                                     L" " + (silent ? L"1" : L"0") + L" " + more_arguments);
    if (!driver) {
        ADD_FAILURE() << "cannot start the driver, error " << GetLastError();
        return outcome;
    }

    // A write that fails, or a refusal, comes before the box that tells of the download.
    HWND done_box = wait_for_box_or_end(driver);
    if (done_box != nullptr && message_box_text(done_box) == widen_utf8("Không thể ghi file. Vui lòng kiểm tra lại.")) {
        outcome.write_error_shown = true;
        press_button(done_box, IDOK);
        EXPECT_TRUE(wait_until_gone(done_box));
        done_box = nullptr;
    }
    if (done_box == nullptr) {
        outcome.exit_code = wait_for_exit(driver);
        outcome.refused = outcome.exit_code == 30;
        if (outcome.refused) outcome.exit_code = 0;
        return outcome;
    }
    EXPECT_EQ(message_box_text(done_box), widen_utf8("Tải thành công. Nhấn Ok để cập nhật"));
    EXPECT_EQ(window_class_name(owner_window(done_box)), L"install_driver_owner");
    EXPECT_TRUE(has_control(done_box, IDOK));
    EXPECT_FALSE(has_control(done_box, IDCANCEL));
    press_button(done_box, IDOK);
    const ULONGLONG pressed_at = GetTickCount64();
    EXPECT_TRUE(wait_until_gone(done_box));

    // The driver cannot end while a box is open, so a box that is shown is
    // seen before the end.
    const HWND error_box = wait_for_box_or_end(driver);
    if (error_box != nullptr) {
        outcome.write_error_shown = true;
        EXPECT_EQ(message_box_text(error_box), widen_utf8("Không thể ghi file. Vui lòng kiểm tra lại."));
        EXPECT_EQ(owner_window(error_box), nullptr);
        EXPECT_TRUE(has_control(error_box, IDOK));
        EXPECT_FALSE(has_control(error_box, IDCANCEL));
        press_button(error_box, IDOK);
    }
    outcome.exit_code = wait_for_exit(driver);
    outcome.ms_after_ok = GetTickCount64() - pressed_at;
    return outcome;
}

void expect_installation(const install_folder& folder, const install_outcome_t& outcome, write_t write,
                         const std::vector<std::wstring>& more_files, const std::wstring& offered) {
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.refused, write == write_t::refused);
    EXPECT_EQ(outcome.write_error_shown, write == write_t::failed);
    if (write == write_t::succeeded) {
        EXPECT_TRUE(same_content(folder.product_exe(), offered)) << "not the new product";
    } else {
        EXPECT_TRUE(same_content(folder.product_exe(), folder.installed_before())) << "not the old product";
    }
    std::vector<std::wstring> expected = folder.expected_files();
    expected.insert(expected.end(), more_files.begin(), more_files.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(folder.path()), expected);
}
