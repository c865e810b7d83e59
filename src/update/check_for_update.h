#pragma once
#include "update/version_code.h"

// Results of the availability check and of the update session; a positive
// value is a version_code.
constexpr int RESULT_NOT_WRITABLE = -3;
constexpr int RESULT_CONNECTION_ERROR = -2;
constexpr int RESULT_INVALID_ARGUMENTS = -1;
constexpr int RESULT_UP_TO_DATE = 0;
constexpr int RESULT_INSTALLED = 1;

// Parses the launch options and reads "cversion.txt" from the release folder,
// within its deadline; no message is handled meanwhile.
// Returns the latest version_code when it is newer than the installed one,
// else one of the results above. p_flag and silent are always written, bits
// whenever the options are valid, latest_version whenever the file was read.
int check_for_update(const wchar_t* command_line, version_code& latest_version, int& bits, bool& p_flag,
                     bool& silent);
