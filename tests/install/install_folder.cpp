#include "install_folder.h"

#include <gtest/gtest.h>

#include "ui_driver.h"

install_outcome_t install_through_driver(const install_folder& folder, const std::wstring& bytes_file, bool p_flag,
                                         bool silent) {
    const std::wstring caption = L"OmBry - Auto update";
    install_outcome_t outcome;
    const scoped_handle driver = folder.start_updater(L"install \"" + bytes_file + L"\" 64 " + (p_flag ? L"1" : L"0") +
                                                     L" " + (silent ? L"1" : L"0"));
    if (!driver) {
        ADD_FAILURE() << "cannot start the driver";
        return outcome;
    }

    const HWND done_box = wait_for_dialog(caption);
    if (done_box == nullptr) {
        ADD_FAILURE() << "no box said that the download succeeded";
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
    HWND error_box = nullptr;
    EXPECT_TRUE(wait_until(
        [&] {
            error_box = find_dialog(caption);
            return error_box != nullptr || WaitForSingleObject(driver.get(), 0) == WAIT_OBJECT_0;
        },
        60000));
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

void expect_installation(const install_folder& folder, const install_outcome_t& outcome, write_t write) {
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.write_error_shown, write == write_t::failed);
    if (write == write_t::succeeded) {
        EXPECT_TRUE(same_content(folder.product_exe(), new_product_file())) << "not the new product";
    } else {
        EXPECT_TRUE(same_content(folder.product_exe(), old_product_file())) << "not the old product";
    }
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
}
