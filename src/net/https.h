#pragma once
// HTTPS GET requests with WinHTTP and downloads into memory.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "common/scoped.h"
#include "net/transfer_bounds.h"
#include "net/winhttp_api.h"

struct internet_handle_traits {
    using handle_type = HINTERNET;
    static handle_type none() { return nullptr; }
    // A handle was opened through the table, so the table is there.
    static void release(handle_type handle) { winhttp_api()->WinHttpCloseHandle(handle); }
};
using scoped_internet = scoped<internet_handle_traits>;

// The report that a download is sending to its window, held from just before
// the send until the receiver takes it. A message with the same number can
// come from any program; only a report taken from here is the download's own,
// and while one is held the download waits and does not touch its bytes.
//
// Only the download puts and clears, and it puts no report while one is
// held, so the values need no lock: atomics, which unlike a lock can neither
// fail nor allocate, even when memory has run out.
class pending_report_t {
public:
    void put(WPARAM total, LPARAM current) noexcept;
    // False when no report is waiting.
    bool take(WPARAM& total, LPARAM& current) noexcept;
    void clear() noexcept;

private:
    std::atomic<bool> held_{false};
    std::atomic<WPARAM> total_{0};
    std::atomic<LPARAM> current_{0};
};

// What a download fills. With a window in hwnd, the download reports to it
// with UM_DOWNLOAD_PROGRESS; data holds the body.
struct data_response_t {
    HWND hwnd = nullptr;
    std::vector<char> data;
    pending_report_t pending;
    // The longest body accepted: a probe that announces more fails the
    // download before the body is asked for.
    std::size_t largest_body = largest_download;
    // Set from another thread, the download fails before its next request or read.
    std::atomic<bool> stop{false};
};

// One report to response.hwnd, as the download sends it: held in
// response.pending while UM_DOWNLOAD_PROGRESS is sent.
void send_download_report(data_response_t& response, WPARAM total, LPARAM current) noexcept;

// Opens session, connection and request for url (always TLS, always port 443,
// whatever the URL says) and sends the GET; fails without WinHTTP. The owners
// hold whatever was opened, also on failure; declared in that order they close
// request, connection, session.
BOOL open_https_request(const std::wstring& url, scoped_internet& session, scoped_internet& connection,
                        scoped_internet& request);

// One complete request that only reads the response's Content-Length.
// On false, content_length keeps its value.
bool query_content_length(const char* url, DWORD& content_length);

// What the host answered to a download's two requests, for a caller that
// must say why a download failed. The download goes by its own rules alone.
struct transfer_report_t {
    struct answer_t {
        bool answered = false;  // the response's headers arrived
        DWORD status = 0;
        bool has_length = false;
        DWORD length = 0;
    };
    answer_t probe;
    answer_t body;
    DWORD error = 0;                // WinHTTP's error from the call that failed, 0 when none did
    bool marker = false;            // a chunk began with the missing-file marker
    std::size_t largest_body = 0;   // the longest body the download accepted
    bool too_large = false;         // the probe announced more than that
    bool overran = false;           // the body brought more bytes than the probe announced
    bool out_of_memory = false;     // no room to hold the body, or to make a request
    bool no_thread = false;         // no thread could be started for the fetch
    bool deadline_passed = false;   // the fetch had not ended by its deadline
};

// Fetches url whole into response.data: a length probe, then the body request,
// whose body must not bring more bytes than the probe announced. Returns true
// when the whole body arrived; with a window, the final report says the same
// before the call returns. With report, also what the host answered. A
// failure of any kind, no memory included, is a failed download.
bool download_to_memory(const char* url, data_response_t& response, transfer_report_t* report = nullptr) noexcept;

