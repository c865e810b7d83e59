#include "ui/my_dlg.h"

INT_PTR c_my_dlg::do_modal() {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(template_id & 0xFFFF), parent, shared_dialog_proc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR c_my_dlg::dialog_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    hwnd = window;
    switch (message) {
        case WM_DESTROY:
            return on_destroy();
        case WM_INITDIALOG:
            return on_init_dialog();
        case WM_COMMAND:
            return on_command(wParam, lParam);
        default:
            return 0;
    }
}

INT_PTR c_my_dlg::on_init_dialog() { return TRUE; }
INT_PTR c_my_dlg::on_command(WPARAM, LPARAM) { return FALSE; }
INT_PTR c_my_dlg::on_destroy() { return FALSE; }

INT_PTR CALLBACK shared_dialog_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    c_my_dlg* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<c_my_dlg*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    } else {
        dialog = reinterpret_cast<c_my_dlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    return dialog != nullptr ? dialog->dialog_proc(hwnd, message, wParam, lParam) : 0;
}
