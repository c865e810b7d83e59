#pragma once
#include <windows.h>

// One update attempt, from the check to the final message; destroys the
// control window at its end, which ends the process. Returns a result code
// of check_for_update.h, or the latest version_code when a newer version was
// not installed (the user said No or cancelled).
int run_update_session(HINSTANCE instance, const wchar_t* command_line);
