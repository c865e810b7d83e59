// The bar as painted: pixels read back from the dialog's window after each
// report, with the reports scripted so that each state is known.
#include <gtest/gtest.h>

#include <functional>

#include "common/scoped.h"
#include "resource.h"
#include "ui/download_dlg.h"

namespace {

const COLORREF fill_colour = RGB(128, 200, 164);
const COLORREF frame_colour = RGB(64, 64, 64);

struct report {
    WPARAM total;
    LPARAM current;
};

// A download dialog without a worker: the test sends the reports itself, as
// the worker would, and looks at the window after each.
class scripted_dlg : public c_download_dlg {
public:
    using check = std::function<void(scripted_dlg&)>;

    scripted_dlg(std::vector<report> reports, check after_each)
        : c_download_dlg("https://localhost/unused", GetModuleHandleW(nullptr), nullptr),
          reports_(std::move(reports)),
          after_each_(std::move(after_each)) {}

    INT_PTR on_init_dialog() override {
        const INT_PTR result = c_download_dlg::on_init_dialog();
        SetTimer(hwnd, 1, 20, nullptr);
        return result;
    }

    INT_PTR dialog_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        // The dialog manager shows the dialog once its loop first waits.
        if (message == WM_TIMER && IsWindowVisible(window)) {
            KillTimer(window, 1);
            UpdateWindow(window);
            after_each_(*this);
            for (const report& r : reports_) {
                send_download_report(*response, r.total, r.current);
                UpdateWindow(window);
                after_each_(*this);
            }
            send_download_report(*response, static_cast<WPARAM>(-1), 0);
            return TRUE;
        }
        return c_download_dlg::dialog_proc(window, message, wParam, lParam);
    }

    RECT bar_rect() const {
        RECT rect{};
        GetWindowRect(GetDlgItem(hwnd, IDC_PROGRESS), &rect);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

protected:
    bool start_worker() override { return true; }

private:
    std::vector<report> reports_;
    check after_each_;
};

struct painted_state {
    std::int32_t total, current;
    int bar_width;
    std::vector<COLORREF> middle_row;  // every pixel of the bar's middle row
    std::vector<COLORREF> middle_column;
    bool progress_control_visible;
};

painted_state read_bar(scripted_dlg& dialog) {
    painted_state state{dialog.total, dialog.current, 0, {}, {}, true};
    const RECT bar = dialog.bar_rect();
    state.bar_width = bar.right - bar.left;
    const window_dc dc(dialog.hwnd);
    const int middle_y = (bar.top + bar.bottom) / 2;
    for (int x = bar.left; x < bar.right; ++x) state.middle_row.push_back(GetPixel(dc.get(), x, middle_y));
    const int middle_x = (bar.left + bar.right) / 2;
    for (int y = bar.top; y < bar.bottom; ++y) state.middle_column.push_back(GetPixel(dc.get(), middle_x, y));
    state.progress_control_visible = IsWindowVisible(GetDlgItem(dialog.hwnd, IDC_PROGRESS)) != FALSE;
    return state;
}

std::vector<painted_state> paint(const std::vector<report>& reports) {
    std::vector<painted_state> states;
    scripted_dlg dialog(reports, [&](scripted_dlg& d) { states.push_back(read_bar(d)); });
    dialog.do_modal();
    return states;
}

// The frame on the outermost pixels; inside it, fill_width pixels of the fill
// colour from the left, counted from the bar's edge, then the background.
void expect_bar(const painted_state& state, int fill_width) {
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    const auto& row = state.middle_row;
    ASSERT_GT(row.size(), 2u);
    EXPECT_EQ(row.front(), frame_colour);
    EXPECT_EQ(row.back(), frame_colour);
    EXPECT_EQ(state.middle_column.front(), frame_colour);
    EXPECT_EQ(state.middle_column.back(), frame_colour);
    for (std::size_t x = 1; x + 1 < row.size(); ++x) {
        const COLORREF expected = static_cast<int>(x) < fill_width ? fill_colour : background;
        if (row[x] != expected) {
            ADD_FAILURE() << "pixel " << x << " of " << row.size() << " is 0x" << std::hex << row[x]
                          << ", expected 0x" << expected << " (fill " << std::dec << fill_width << ")";
            return;
        }
    }
}

TEST(BarPaint, FillsInProportionFramedOnTheBackground) {
    const std::vector<painted_state> states = paint({
        {200, 50},
        {1000, 1},
        {100000000, 60000000},  // width × current is far beyond 32 bits
        {4000000, 3999999},
        {100, 150},  // more than announced: a full bar
    });
    ASSERT_EQ(states.size(), 6u);
    const int width = states[0].bar_width;
    ASSERT_GT(width, 100);

    // Before any report: background and frame only.
    EXPECT_EQ(states[0].total, 0);
    EXPECT_EQ(states[0].current, -1);
    expect_bar(states[0], 0);
    expect_bar(states[1], width * 50 / 200);
    expect_bar(states[2], 0);
    expect_bar(states[3], static_cast<int>(std::int64_t{width} * 60000000 / 100000000));
    expect_bar(states[4], static_cast<int>(std::int64_t{width} * 3999999 / 4000000));
    expect_bar(states[5], width);
    EXPECT_EQ(states[3].total, 100000000);
    EXPECT_EQ(states[3].current, 60000000);
    for (const painted_state& state : states) EXPECT_FALSE(state.progress_control_visible);
}

// How many more GDI objects the process may make: the handle table's free
// room. Wine has no GetGuiResources count, but its table is bounded, so
// what a paint leaves behind shows up here.
int free_gdi_handles() {
    std::vector<HPEN> pens;
    while (HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3))) pens.push_back(pen);
    for (HPEN pen : pens) DeleteObject(pen);
    return static_cast<int>(pens.size());
}

TEST(BarPaint, EveryPaintGivesBackItsGdiObjectsAndDc) {
    std::vector<report> reports;
    for (int i = 1; i <= 3000; ++i) reports.push_back({3001, i});
    int free_after_first_paint = -1, free_at_end = -1, paints = 0;
    scripted_dlg dialog(reports, [&](scripted_dlg&) {
        ++paints;
        if (paints == 2) free_after_first_paint = free_gdi_handles();
        if (paints == 3001) free_at_end = free_gdi_handles();
    });
    dialog.do_modal();
    ASSERT_EQ(paints, 3001);
    ASSERT_GT(free_after_first_paint, 1000);
    EXPECT_EQ(free_at_end, free_after_first_paint);
}

TEST(DownloadDialog, AWorkerThatCannotStartClosesAsAFailedDownload) {
    struct no_thread_dlg : c_download_dlg {
        no_thread_dlg() : c_download_dlg("https://localhost/unused", GetModuleHandleW(nullptr), nullptr) {}
        bool start_worker() override { return false; }
    } dialog;
    dialog.do_modal();
    EXPECT_EQ(dialog.completed, 1);
    EXPECT_EQ(dialog.total, 0);
    EXPECT_EQ(dialog.current, -1);
}

}  // namespace
