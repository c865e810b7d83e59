#pragma once
// Finds, reads and answers the dialogs and message boxes of other processes,
// as a user at the screen would.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Asks again whenever the system tells of a window made, shown, hidden,
// destroyed or renamed in any process, and at least every quarter second,
// until the condition holds (true) or the time is up (false): for the
// windows of another process, without polling them all the time.
bool wait_until_windows_change_to(const std::function<bool()>& condition, DWORD timeout_ms = 30000);

// A visible top-level dialog ("#32770") with exactly that caption, or null.
HWND find_dialog(const std::wstring& caption);

// The same, waiting for one to appear; null when none has within the time.
HWND wait_for_dialog(const std::wstring& caption, DWORD timeout_ms = 30000);

// Waits until a window has gone; false when it is still there after the time.
bool wait_until_gone(HWND window, DWORD timeout_ms = 30000);

// The text of a message box: its static control with id 0xFFFF.
std::wstring message_box_text(HWND box);

// The window that owns another (null for none), and a window's class name.
HWND owner_window(HWND window);
std::wstring window_class_name(HWND window);

// Whether the dialog has a control with that id (IDOK, IDCANCEL, IDYES...).
bool has_control(HWND dialog, int id);

// Presses a button of the dialog, as a click would: posts WM_COMMAND
// with BN_CLICKED from that button.
void press_button(HWND dialog, int id);

// The top-level windows of that class that belong to that process.
std::vector<HWND> top_level_windows(const std::wstring& class_name, DWORD process_id);

// What another program can do to a download dialog it finds on the screen:
// sends and posts it, and every report relay among the message-only windows,
// progress reports that look like failure, completion and progress, and
// broadcasts them too.
void forge_download_reports(HWND dialog);
