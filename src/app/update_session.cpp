#include "app/update_session.h"

#include <new>
#include <string>
#include <vector>

#include "app/control_window.h"
#include "app/required_publisher.h"
#include "common/decimal_text.h"
#include "install/install.h"
#include "release_base_url.h"
#include "ui/download_dlg.h"
#include "update/check_for_update.h"

namespace {

// Every box of the attempt carries this caption; the texts are Vietnamese.
const wchar_t caption[] = L"OmBry - Auto update";
// " có version ", " mới. Bạn có muốn cập nhật không ?"
const wchar_t question_middle[] = L" c\u00f3 version ";
const wchar_t question_end[] = L" m\u1edbi. B\u1ea1n c\u00f3 mu\u1ed1n c\u1eadp nh\u1eadt kh\u00f4ng ?";
// "Ombry không thể ghi dữ liệu ở vị trí hiện tại, vui lòng chuyển OmBry vào nơi có
// quyền ghi, hoặc khởi động lại OmBry với quyền Administrator."
const wchar_t not_writable_text[] =
    L"Ombry kh\u00f4ng th\u1ec3 ghi d\u1eef li\u1ec7u \u1edf v\u1ecb tr\u00ed hi\u1ec7n t\u1ea1i, vui l\u00f2ng "
    L"chuy\u1ec3n OmBry v\u00e0o n\u01a1i c\u00f3 quy\u1ec1n ghi, ho\u1eb7c kh\u1edfi \u0111\u1ed9ng l\u1ea1i OmBry "
    L"v\u1edbi quy\u1ec1n Administrator.";
// "Đã xảy ra lỗi trong quá trình kết nối."
const wchar_t connection_error_text[] =
    L"\u0110\u00e3 x\u1ea3y ra l\u1ed7i trong qu\u00e1 tr\u00ecnh k\u1ebft n\u1ed1i.";
// "Có lỗi trong quá trình thực thi."
const wchar_t invalid_arguments_text[] = L"C\u00f3 l\u1ed7i trong qu\u00e1 tr\u00ecnh th\u1ef1c thi.";
// "Phiên bản đang sử dụng là mới nhất."
const wchar_t up_to_date_text[] = L"Phi\u00ean b\u1ea3n \u0111ang s\u1eed d\u1ee5ng l\u00e0 m\u1edbi nh\u1ea5t.";

std::wstring update_question(int bits, version_code latest_version) {
    return L"OmBry" + decimal_text(bits) + question_middle + version_text(latest_version) + question_end;
}

std::string download_url(int bits) {
    return std::string(release_base_url) + "OmBry" + std::to_string(bits) + ".exe";
}

// Downloads the new executable behind the dialog and installs it. A download
// that is not a whole executable for the installed width (an empty file, an
// error page, a cut-off image), or not the announced release by the
// product's publisher, is a failed download: it closes nothing and leaves
// nothing. A close request at the box that tells of the download ends the
// attempt as a cancel does: nothing installed, nothing more shown.
int download_and_install(HINSTANCE instance, HWND owner, version_code latest_version, int bits, bool p_flag,
                         bool silent) {
    std::vector<char> received;
    try {
        c_download_dlg dialog(download_url(bits), instance, owner);
        dialog.do_modal();
        if (dialog.completed != 1) return latest_version;
        if (dialog.current != dialog.total) return RESULT_CONNECTION_ERROR;
        received.swap(dialog.received);
    } catch (const std::bad_alloc&) {
        // No memory for the address or the dialog's record: a failed download.
        return RESULT_CONNECTION_ERROR;
    }
    switch (install_update(received, bits, latest_version, p_flag, silent, owner, required_publisher)) {
        case install_result_t::refused:
            return RESULT_CONNECTION_ERROR;
        case install_result_t::abandoned:
            return latest_version;
        case install_result_t::done:
            break;
    }
    return RESULT_INSTALLED;
}

int offer_update(HINSTANCE instance, HWND owner, version_code latest_version, int bits, bool p_flag,
                 bool silent) {
    const std::wstring question = update_question(bits, latest_version);
    if (MessageBoxW(owner, question.c_str(), caption, MB_YESNO | MB_ICONINFORMATION) != IDYES)
        return latest_version;
    if (!can_write_to_module_directory()) {
        MessageBoxW(owner, not_writable_text, caption, MB_OK);
        return RESULT_NOT_WRITABLE;
    }
    return download_and_install(instance, owner, latest_version, bits, p_flag, silent);
}

// The check handles no message while it fetches, so a close request sent
// meanwhile still waits; it is answered here, and once it has closed the
// window nothing more is shown.
bool closed_during_the_check(HWND owner) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    return owner != nullptr && !IsWindow(owner);
}

void report_outcome(int result, bool silent) {
    if (silent) return;
    switch (result) {
        case RESULT_CONNECTION_ERROR:
            MessageBoxW(nullptr, connection_error_text, caption, MB_ICONERROR);
            break;
        case RESULT_INVALID_ARGUMENTS:
            MessageBoxW(nullptr, invalid_arguments_text, caption, MB_ICONERROR);
            break;
        case RESULT_UP_TO_DATE:
            MessageBoxW(nullptr, up_to_date_text, caption, MB_ICONINFORMATION);
            break;
        default:
            break;
    }
}

}  // namespace

int run_update_session(HINSTANCE instance, const wchar_t* command_line) {
    const HWND owner = control_window;
    version_code latest_version = 0;
    int bits = 32;
    bool p_flag = false;
    bool silent = false;
    int result = check_for_update(command_line, latest_version, bits, p_flag, silent);
    if (closed_during_the_check(owner)) return result;
    if (result > 0) result = offer_update(instance, owner, latest_version, bits, p_flag, silent);
    report_outcome(result, silent);
    if (owner != nullptr) DestroyWindow(owner);
    return result;
}
