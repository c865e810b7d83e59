#pragma once
#include <string>

// Full path of the running updater; not limited to MAX_PATH, so a long install
// path is never cut short into a different directory.
std::wstring get_module_path();

// The folder holding the updater, without a trailing separator.
std::wstring get_module_directory();

// <module directory>\OmBry<bits>.exe
std::wstring get_installed_exe_path(int bits);
