#pragma once
// A modal dialog built from a template resource and tied to an object: the
// system calls shared_dialog_proc, which hands each message to the object's
// dialog_proc.
#include <windows.h>

class c_my_dlg {
public:
    c_my_dlg() = default;
    virtual ~c_my_dlg() = default;
    c_my_dlg(const c_my_dlg&) = delete;
    c_my_dlg& operator=(const c_my_dlg&) = delete;

    // Runs the dialog until its window no longer exists. The result is what
    // DialogBoxParamW returns; dialogs report through their fields instead.
    virtual INT_PTR do_modal();

    // Stores hwnd, then dispatches WM_DESTROY, WM_INITDIALOG and WM_COMMAND
    // to the handlers; every other message gives 0. An override passes on
    // what it does not consume.
    virtual INT_PTR dialog_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR on_init_dialog();
    virtual INT_PTR on_command(WPARAM wParam, LPARAM lParam);
    virtual INT_PTR on_destroy();

    HWND hwnd = nullptr;
    HINSTANCE instance = nullptr;
    int template_id = 0;
    HWND parent = nullptr;
};

// The one dialog procedure of every c_my_dlg: WM_INITDIALOG brings the
// object's address, which the window keeps in its user-data slot.
INT_PTR CALLBACK shared_dialog_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
