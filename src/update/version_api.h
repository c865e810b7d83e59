#pragma once
// The version resource functions, from the system folder's version.dll (see
// common/system_library.h).
#include <windows.h>

struct version_api_t {
    decltype(&::GetFileVersionInfoSizeW) GetFileVersionInfoSizeW;
    decltype(&::GetFileVersionInfoW) GetFileVersionInfoW;
    decltype(&::VerQueryValueW) VerQueryValueW;
};

// Bound at the first call; null when version.dll or one of the functions is missing.
const version_api_t* version_api();
