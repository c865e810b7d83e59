#pragma once
// Putting a downloaded product executable in place: the write probe, closing
// the running product, replacing its executable and starting it again.
#include <windows.h>

#include <vector>

#include "update/version_code.h"

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

// Puts the downloaded executable in place of OmBry<bits>.exe:
// 1. removes what an earlier updater that was ended mid-way left staged;
// 2. writes data whole to a staged file beside the target and flushes it;
// 3. checks that the staged file is the announced release, latest_version by
//    its version resource, and comes from the installed product's publisher
//    (and from required_publisher, when that is not empty: see
//    comes_from_publisher);
// 4. tells the user that the download succeeded (always, owned by owner),
//    closes the product, moves the staged file over the target in one step
//    and restarts the product if it was running and none of its windows is
//    left.
// A staged write or a move that fails leaves the old executable as it was
// and is reported unless silent; a failed write also closes nothing.
// Returns false when the check refused the new executable: then nothing was
// shown, closed or started, and nothing is left behind.
bool install_update(const std::vector<char>& data, int bits, version_code latest_version, bool p_flag, bool silent,
                    HWND owner, const wchar_t* required_publisher);

// The bounds of close_running_application. A product that obeys needs one
// request per instance; one that still shows a window after this many has
// not been closing. The time also ends a wait on a window that does not
// answer: five seconds is when Windows itself calls a window not responding.
constexpr int close_request_limit = 20;
constexpr DWORD close_time_limit_ms = 5000;
