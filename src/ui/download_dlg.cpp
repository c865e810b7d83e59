#include "ui/download_dlg.h"

#include <utility>

#include "common/detached_thread.h"
#include "common/scoped.h"
#include "resource.h"
#include "ui/bar_geometry.h"
#include "ui/report_relay.h"

namespace {

// "Bạn có muốn dừng ?"
const wchar_t cancel_question[] = L"B\u1ea1n c\u00f3 mu\u1ed1n d\u1eebng ?";
const wchar_t cancel_caption[] = L"Ombry - Auto update";

constexpr std::uint32_t failure_report = 0xFFFFFFFF;
// Posted to itself when no worker could start, to close once the modal loop runs.
constexpr UINT UM_NO_WORKER = WM_APP + 2;
const COLORREF fill_colour = RGB(128, 200, 164);
const COLORREF frame_colour = RGB(64, 64, 64);

}  // namespace

void download_worker(data_response_t& response, const std::string& url) noexcept {
    download_to_memory(url.c_str(), response);
    release_report_relay(response.hwnd);
}

c_download_dlg::c_download_dlg(const std::string& download_url, HINSTANCE module, HWND owner) : url(download_url) {
    instance = module;
    template_id = IDD_DOWNLOAD;
    parent = owner;
}

bool c_download_dlg::start_worker() {
    try {
        // The thread owns these copies for as long as it runs.
        return start_detached_thread([response = response, url = url]() noexcept { download_worker(*response, url); });
    } catch (const std::bad_alloc&) {
        // No memory for the copy of the address.
        return false;
    }
}

INT_PTR c_download_dlg::on_init_dialog() {
    relay_ = create_report_relay(response, &c_download_dlg::handle_report, this);
    response->hwnd = relay_;
    if (relay_ == nullptr || !start_worker()) {
        if (relay_ != nullptr) DestroyWindow(relay_);
        relay_ = nullptr;
        response->hwnd = nullptr;
        // No report will ever come: close as a failed download.
        no_worker_ = true;
        PostMessageW(hwnd, UM_NO_WORKER, 0, 0);
    }
    return TRUE;
}

void c_download_dlg::handle_report(void* dialog, WPARAM total, LPARAM current) {
    static_cast<c_download_dlg*>(dialog)->on_download_progress(total, current);
}

INT_PTR c_download_dlg::on_command(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) != IDCANCEL) return FALSE;
    const int answer = MessageBoxW(hwnd, cancel_question, cancel_caption, MB_YESNO | MB_ICONINFORMATION);
    // A report may have closed the dialog, and the question with it.
    if (answer == IDYES && hwnd != nullptr) {
        completed = 0;
        close();
    }
    return TRUE;
}

INT_PTR c_download_dlg::dialog_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint_bar(window);
            break;
        case UM_NO_WORKER:
            if (no_worker_) on_download_progress(static_cast<WPARAM>(failure_report), 0);
            return TRUE;
        case WM_DESTROY:
            // Reports from now on reach nobody, however the window went.
            if (relay_ != nullptr) detach_report_relay(relay_);
            relay_ = nullptr;
            break;
        default:
            break;
    }
    return c_my_dlg::dialog_proc(window, message, wParam, lParam);
}

// Only the relay calls this, with the worker's own reports, while the dialog
// is attached to it, so hwnd is the live dialog.
void c_download_dlg::on_download_progress(WPARAM wParam, LPARAM lParam) {
    const auto reported_total = static_cast<std::uint32_t>(wParam);
    const auto reported_current = static_cast<std::uint32_t>(lParam);
    if (reported_total == failure_report) {
        total = 0;
        current = -1;
        close();
    } else if (reported_total != reported_current) {
        total = static_cast<std::int32_t>(reported_total);
        current = static_cast<std::int32_t>(reported_current);
        InvalidateRect(hwnd, nullptr, FALSE);
    } else {
        // The worker waits in its report while this runs, so the record holds still.
        received.swap(response->data);
        total = current = static_cast<std::int32_t>(received.size());
        close();
    }
}

void c_download_dlg::close() {
    if (hwnd == nullptr) return;
    // A worker still at work after a cancel ends at its next step instead of
    // fetching for nobody until the process ends.
    response->stop = true;
    DestroyWindow(hwnd);
    hwnd = nullptr;
    // A report that closes the dialog is handled inside the modal loop's wait
    // for a posted message; without one the loop would not see that its
    // dialog has gone.
    PostMessageW(nullptr, WM_NULL, 0, 0);
}

void c_download_dlg::paint_bar(HWND window) const {
    const window_dc dc(window);
    if (!dc) return;
    const HWND bar = GetDlgItem(window, IDC_PROGRESS);
    ShowWindow(bar, SW_HIDE);

    RECT rect{};
    GetWindowRect(bar, &rect);
    POINT top_left{rect.left, rect.top};
    POINT bottom_right{rect.right, rect.bottom};
    if (ScreenToClient(window, &top_left)) ScreenToClient(window, &bottom_right);
    const int width = bottom_right.x - top_left.x;
    const int height = bottom_right.y - top_left.y;
    if (width <= 0 || height <= 0) return;

    // Composed off screen, then copied in one piece.
    const scoped_gdi_object bitmap(CreateCompatibleBitmap(dc.get(), width, height));
    const scoped_memory_dc memory(CreateCompatibleDC(dc.get()));
    if (!bitmap || !memory) return;
    const object_selection bitmap_selected(memory.get(), bitmap.get());

    const RECT whole{0, 0, width, height};
    const scoped_gdi_object background(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    FillRect(memory.get(), &whole, static_cast<HBRUSH>(background.get()));

    const int fill = bar_fill_width(width, current, total);
    if (fill > 0) {
        const scoped_gdi_object brush(CreateSolidBrush(fill_colour));
        const RECT filled{0, 0, fill, height};
        FillRect(memory.get(), &filled, static_cast<HBRUSH>(brush.get()));
    }

    const scoped_gdi_object pen(CreatePen(PS_SOLID, 1, frame_colour));
    {
        const object_selection pen_selected(memory.get(), pen.get());
        const object_selection brush_selected(memory.get(), GetStockObject(NULL_BRUSH));
        Rectangle(memory.get(), 0, 0, width, height);
    }
    BitBlt(dc.get(), top_left.x, top_left.y, width, height, memory.get(), 0, 0, SRCCOPY);
}
