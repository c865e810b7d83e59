#pragma once
// The download worker may outlive its dialog, so it never holds the dialog's
// handle: a window destroyed under it could even be replaced by another that
// takes over the handle. It reports to a relay instead, a message-only window
// on the GUI thread that lives until the worker has finished with it, and
// that hands each report to the dialog while one is attached. Attaching,
// handing on and detaching all happen on the GUI thread, so nothing is locked.
//
// Any program can send UM_DOWNLOAD_PROGRESS to the relay or to the dialog.
// So the relay takes the values from the worker's record, where the worker
// holds each report while it waits in its send, and hands them on by a plain
// call: a message alone never reaches the dialog's handler.
#include <windows.h>

#include <memory>

#include "net/https.h"

using report_handler_t = void (*)(void* context, WPARAM total, LPARAM current);

// A relay for the reports of the download that fills record, handed to
// handler(context, ...); null when it cannot be made.
HWND create_report_relay(std::shared_ptr<data_response_t> record, report_handler_t handler, void* context);

// From now on the relay's reports reach nobody.
void detach_report_relay(HWND relay);

// From the worker, once it will send no more reports: the relay goes away.
void release_report_relay(HWND relay);

// The class of every relay window, for tests that look for leftover relays.
extern const wchar_t report_relay_class[];
