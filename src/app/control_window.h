#pragma once
// The updater's one window of its own: hidden, the owner of the session's
// first boxes and the download dialog, the mark of a running updater for the
// single-instance rule, and the receiver of the close request.
#include <windows.h>

// Loaded from the string table at start-up; 64 units with the terminator.
extern wchar_t app_title[64];
extern wchar_t window_class_name[64];

// Set once, before the session starts; never reset.
extern HWND control_window;

void register_control_window_class(HINSTANCE instance);
BOOL create_control_window(HINSTANCE instance);
LRESULT CALLBACK control_window_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
