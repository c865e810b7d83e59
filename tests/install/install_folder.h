#pragma once
// Running install_update through install_driver.exe in an install folder,
// and checking what it left.
#include <windows.h>

#include <string>

#include "product_folder.h"

struct install_outcome_t {
    int exit_code = -1;
    bool refused = false;  // the driver ended, refusing the new executable, without a box
    ULONGLONG ms_after_ok = 0;  // from dismissing the first box to the driver's end
    bool write_error_shown = false;
};

// Runs install_update through the folder's driver with the bytes of that
// file, answers its boxes as a user would and checks what they say and who
// owns them. more_arguments: the announced version and the required
// publisher, as install_driver takes them (2.5.1 and none when empty).
install_outcome_t install_through_driver(const install_folder& folder, const std::wstring& bytes_file, bool p_flag,
                                         bool silent, const std::wstring& more_arguments = L"");

// Checks what an installation left: the driver ended normally, the write
// error was shown when the write failed and was not silent, OmBry64.exe holds
// the offered build only when the write succeeded, and nothing is left in the
// folder but its own files and more_files.
enum class write_t { succeeded, failed, failed_silently, refused };
void expect_installation(const install_folder& folder, const install_outcome_t& outcome, write_t write,
                         const std::vector<std::wstring>& more_files = {},
                         const std::wstring& offered = new_product_file());
