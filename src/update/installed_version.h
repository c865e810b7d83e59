#pragma once
#include <string>

#include "update/version_code.h"

// The version_code in the file's version resource; 0 when it has none that
// can be read, or the file is missing.
version_code file_version_code(const std::wstring& path);

// The version of OmBry<bits>.exe beside the updater.
version_code get_installed_version(int bits);
