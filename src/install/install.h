#pragma once
// Putting a downloaded product executable in place: the write probe, closing
// the running product, replacing its executable and starting it again.
#include <windows.h>

#include <vector>

#include "common/scoped.h"
#include "update/version_code.h"

// True when a file could be created in the updater's directory: a new file
// of its own, "ombup.tst" or, when that name is taken, one with the process
// id. Leaves no file behind and never opens, empties or deletes one that it
// did not create; an existing "ombup.tst" stays as it is.
bool can_write_to_module_directory();

// The processes of the product's windows, noted as the windows are found and
// held, so that the updater can wait for them to end: a product may take a
// while to end after its last window has gone, and holds its executable
// until it has.
class product_processes_t {
public:
    void note_window(HWND window);
    // True when every noted process has ended, waiting at most timeout_ms.
    bool wait_until_ended(DWORD timeout_ms) const;

private:
    std::vector<scoped_handle> processes_;
};

// Asks every top-level "OmBry_MainWnd" window to close, one request at a time
// with a pause after each, until none is left. True when one was found.
// Gives up after close_request_limit requests or close_time_limit_ms, and
// then still answers true: the product was running. The process of every
// window it finds is noted in noted.
bool close_running_application(product_processes_t& noted);

// Starts the installed executable of that width with "-r", " -p" when
// p_flag, and " -s". True when the system reports that it started.
bool relaunch_application(int bits, bool p_flag);

enum class install_result_t {
    // Installed, or the write failed (and was reported unless silent).
    done,
    // The check refused the new executable: nothing was shown, closed or
    // started, and nothing is left behind.
    refused,
    // A close request ended the updater at the box that tells of the
    // download: nothing was closed, moved or started, nothing is left behind.
    abandoned,
};

// Puts the downloaded executable in place of OmBry<bits>.exe:
// 1. removes what an earlier updater that was ended mid-way left staged;
// 2. checks that data is the announced release: a whole executable of the
//    width, latest_version by its version resource, naming the installed
//    product (check_downloaded_bytes); refused, nothing is written;
// 3. writes data whole to a new staged file beside the target, and holds it
//    open against every other writer until it has replaced the target;
// 4. checks that the staged file is from the installed product's publisher
//    (and from required_publisher, when that is not empty: see
//    publisher_verdict);
// 5. tells the user that the download succeeded (always, owned by owner);
//    goes no further if owner has gone meanwhile (a close request);
// 6. closes the product and waits for its processes to end, moves the staged
//    file over the target in one step and restarts the product if it was
//    running and has ended.
// A staged write or a move that fails, or a product that does not end, leaves
// the old executable as it was and is reported unless silent; a failed write
// also closes nothing.
install_result_t install_update(const std::vector<char>& data, int bits, version_code latest_version, bool p_flag,
                                bool silent, HWND owner, const wchar_t* required_publisher);

// The bounds of close_running_application. A product that obeys needs one
// request per instance; one that still shows a window after this many has
// not been closing. The time also ends a wait on a window that does not
// answer: five seconds is when Windows itself calls a window not responding.
constexpr int close_request_limit = 20;
constexpr DWORD close_time_limit_ms = 5000;
// How long a product whose windows have gone may take to end. Asked to close,
// a product may first save what its user has open, to a slow disk or a
// network share; one still running after this is not ending, and its
// executable stays held.
constexpr DWORD product_exit_time_limit_ms = 15000;
