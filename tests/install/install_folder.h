#pragma once
// Running install_update through install_driver.exe in an install folder,
// and checking what it left.
#include <windows.h>

#include <string>

#include "product_folder.h"

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
