#pragma once
// Putting a downloaded product executable in place: the write probe, closing
// the running product, replacing its executable and starting it again.
#include <windows.h>

#include <vector>

// True when a file could be created in the updater's directory. Leaves no
// file behind; an existing "ombup.tst" there is emptied and deleted.
bool can_write_to_module_directory();

// Asks every top-level "OmBry_MainWnd" window to close, one request at a time
// with a pause after each, until none is left. True when one was found.
// Gives up after close_request_limit requests or close_time_limit_ms, and
// then still answers true: the product was running.
bool close_running_application();

// Starts the installed executable of that width with "-r", " -p" when
// p_flag, and " -s". True when the system reports that it started.
bool relaunch_application(int bits, bool p_flag);

// Tells the user that the download succeeded (always, owned by owner),
// closes the product, writes data over the installed executable in one step
// and restarts the product if it had been running. A failed write leaves the
// old executable as it was and is reported unless silent.
void install_update(const std::vector<char>& data, int bits, bool p_flag, bool silent, HWND owner);

// The bounds of close_running_application. A product that obeys needs one
// request per instance; one that still shows a window after this many has
// not been closing. The time also ends a wait on a window that does not
// answer: five seconds is when Windows itself calls a window not responding.
constexpr int close_request_limit = 20;
constexpr DWORD close_time_limit_ms = 5000;
