#pragma once
// A folder laid out like an installation: install_driver.exe in the updater's
// place and, beside it, OmBry64.exe (the fake product at 2.5.0) with its
// settings file and log. Any product still running from it is ended when the
// folder object goes.
#include <windows.h>

#include <string>
#include <vector>

#include "test_env.h"

std::wstring old_product_file();  // the fake product at 2.5.0
std::wstring new_product_file();  // the fake product at 2.5.1

// Byte for byte; without printing megabytes of bytes when not.
bool same_content(const std::wstring& file, const std::wstring& model);

class install_folder {
public:
    enum kind_t { writable, read_only };
    explicit install_folder(kind_t kind = writable, const std::wstring& suffix = L"");
    ~install_folder();
    install_folder(const install_folder&) = delete;
    install_folder& operator=(const install_folder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring product_exe() const { return path_ + L"\\OmBry64.exe"; }

    // Starts the product with these fake_product.cfg settings (the restarted
    // product reads them too) and returns once its windows are open.
    scoped_handle start_product(int windows, const std::string& more_settings = "");

    // The lines of fake_product.log so far.
    std::vector<std::string> product_log() const;

    scoped_handle start_driver(const std::wstring& arguments) const;
    int run_driver(const std::wstring& arguments) const;

    // The folder's files, if only the installation changed them: the driver,
    // OmBry64.exe and, once the product was started, its settings and log.
    std::vector<std::wstring> expected_files() const;

private:
    std::wstring path_;
    bool product_started_ = false;
};

struct install_outcome_t {
    int exit_code = -1;
    ULONGLONG ms_after_ok = 0;  // from dismissing the first box to the driver's end
    bool write_error_shown = false;
};

// Runs install_update through the folder's driver with the bytes of that
// file, answers its boxes as a user would and checks what they say and who
// owns them.
install_outcome_t install_through_driver(const install_folder& folder, const std::wstring& bytes_file, bool p_flag,
                                         bool silent);

// Checks what an installation left: the driver ended normally, the write
// error was shown when the write failed and was not silent, OmBry64.exe holds
// the new product only when the write succeeded, and no temporary file is left.
enum class write_t { succeeded, failed, failed_silently };
void expect_installation(const install_folder& folder, const install_outcome_t& outcome, write_t write);

// The product's log once it has that many lines (the restarted product
// writes in its own time); fails the test when it does not get there.
std::vector<std::string> product_log_of(const install_folder& folder, size_t lines);
