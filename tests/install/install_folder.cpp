#include "install_folder.h"

#include <gtest/gtest.h>

#include "ui_driver.h"

namespace {

std::wstring fixture(const wchar_t* name) { return build_dir() + L"\\tests\\fixtures\\" + name; }

void copy_file(const std::wstring& from, const std::wstring& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) ADD_FAILURE() << "cannot copy " << narrow_utf8(from);
}

}  // namespace

std::wstring old_product_file() { return fixture(L"fake_product-2.5.0.exe"); }
std::wstring new_product_file() { return fixture(L"fake_product-2.5.1.exe"); }

bool same_content(const std::wstring& file, const std::wstring& model) {
    const std::string expected = read_file(model);
    return !expected.empty() && read_file(file) == expected;
}

install_folder::install_folder(kind_t kind, const std::wstring& suffix) {
    // Files reach the read-only folder through the writable view of it.
    std::wstring fill;
    if (kind == read_only) {
        fill = work_dir() + L"\\readonly-source\\" + current_test_name() + suffix;
        path_ = work_dir() + L"\\readonly\\" + current_test_name() + suffix;
        make_folders(fill);
    } else {
        fill = path_ = fresh_test_folder(suffix);
    }
    // Fresh also when a test is run again in the same sandbox.
    for (const std::wstring& name : files_in(fill)) DeleteFileW((fill + L"\\" + name).c_str());
    copy_file(test_program_dir() + L"\\install_driver.exe", fill + L"\\install_driver.exe");
    copy_file(old_product_file(), fill + L"\\OmBry64.exe");
}

install_folder::~install_folder() { end_processes_running(product_exe()); }

scoped_handle install_folder::start_product(int windows, const std::string& more_settings) {
    write_file(path_ + L"\\fake_product.cfg", "windows=" + std::to_string(windows) + "\n" + more_settings);
    product_started_ = true;
    scoped_handle product = start_program(L"\"" + product_exe() + L"\"");
    if (!product) {
        ADD_FAILURE() << "cannot start the product";
        return product;
    }
    const DWORD id = GetProcessId(product.get());
    if (!wait_until([&] { return top_level_windows(L"OmBry_MainWnd", id).size() == static_cast<size_t>(windows); }))
        ADD_FAILURE() << "the product did not open its " << windows << " windows";
    return product;
}

std::vector<std::string> install_folder::product_log() const {
    const std::string text = read_file(path_ + L"\\fake_product.log");
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> install_folder::expected_files() const {
    if (!product_started_) return {L"OmBry64.exe", L"install_driver.exe"};
    return {L"OmBry64.exe", L"fake_product.cfg", L"fake_product.log", L"install_driver.exe"};
}

scoped_handle install_folder::start_driver(const std::wstring& arguments) const {
    return start_program(L"\"" + path_ + L"\\install_driver.exe\" " + arguments);
}

int install_folder::run_driver(const std::wstring& arguments) const {
    return run_program(L"\"" + path_ + L"\\install_driver.exe\" " + arguments);
}

install_outcome_t install_through_driver(const install_folder& folder, const std::wstring& bytes_file, bool p_flag,
                                         bool silent) {
    const std::wstring caption = L"OmBry - Auto update";
    install_outcome_t outcome;
    const scoped_handle driver = folder.start_driver(L"install \"" + bytes_file + L"\" 64 " + (p_flag ? L"1" : L"0") +
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

std::vector<std::string> product_log_of(const install_folder& folder, size_t lines) {
    if (!wait_until([&] { return folder.product_log().size() >= lines; }))
        ADD_FAILURE() << "the product's log did not reach " << lines << " lines";
    return folder.product_log();
}
