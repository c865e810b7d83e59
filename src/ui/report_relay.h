#pragma once
// The download worker may outlive its dialog, so it never holds the dialog's
// handle: a window destroyed under it could even be replaced by another that
// takes over the handle. It reports to a relay instead, a message-only window
// on the GUI thread that lives until the worker has finished with it, and
// that forwards each report to the dialog while one is attached. Attaching,
// forwarding and detaching all happen on the GUI thread, so nothing is locked.
#include <windows.h>

// A relay forwarding UM_DOWNLOAD_PROGRESS to target; null when it cannot be made.
HWND create_report_relay(HWND target);

// From now on the relay's reports reach no window.
void detach_report_relay(HWND relay);

// From the worker, once it will send no more reports: the relay goes away.
void release_report_relay(HWND relay);

// The class of every relay window, for tests that look for leftover relays.
extern const wchar_t report_relay_class[];
