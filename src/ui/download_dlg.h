#pragma once
// The modal dialog that downloads the new executable on a worker thread,
// paints its own progress bar and can be cancelled after a question.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/https.h"
#include "ui/my_dlg.h"

class c_download_dlg : public c_my_dlg {
public:
    c_download_dlg(const std::string& download_url, HINSTANCE module, HWND owner);
    // The relay is detached by WM_DESTROY, before do_modal returns; the
    // record goes with the last of the dialog and the worker.
    ~c_download_dlg() override = default;

    INT_PTR dialog_proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR on_init_dialog() override;
    INT_PTR on_command(WPARAM wParam, LPARAM lParam) override;

    // After do_modal: completed 0 means cancelled; otherwise total == current
    // means complete (the bytes are in received), anything else failed.
    std::int32_t total = 0;
    std::int32_t current = -1;
    std::int32_t completed = 1;

    // The worker's record, shared because the worker may outlive the dialog;
    // whichever lets go last frees it.
    std::shared_ptr<data_response_t> response = std::make_shared<data_response_t>();
    std::string url;

    // The whole file, taken out of the worker's record when the dialog closes
    // on a complete download. A worker whose body runs past the announced
    // size goes on appending to its own record, never to these bytes.
    std::vector<char> received;

protected:
    // Starts the detached worker; false when no thread could be started.
    virtual bool start_worker();

private:
    static void handle_report(void* dialog, WPARAM total, LPARAM current);
    void on_download_progress(WPARAM wParam, LPARAM lParam);
    void paint_bar(HWND window) const;
    void close();

    HWND relay_ = nullptr;
    bool no_worker_ = false;
};

// The worker thread: downloads url into the record, reporting to the relay
// in response.hwnd, then lets the relay go.
void download_worker(data_response_t& response, const std::string& url) noexcept;
