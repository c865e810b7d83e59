#pragma once
// HTTPS GET requests with WinHTTP and downloads into memory.
#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <string>
#include <vector>

#include "common/scoped.h"
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
class pending_report_t {
public:
    void put(WPARAM total, LPARAM current);
    // False when no report is waiting.
    bool take(WPARAM& total, LPARAM& current);
    void clear();

private:
    std::mutex mutex_;
    bool held_ = false;
    WPARAM total_ = 0;
    LPARAM current_ = 0;
};

// What a download fills. With a window in hwnd, the download reports to it
// with UM_DOWNLOAD_PROGRESS; data holds the body.
struct data_response_t {
    HWND hwnd = nullptr;
    std::vector<char> data;
    pending_report_t pending;
};

// One report to response.hwnd, as the download sends it: held in
// response.pending while UM_DOWNLOAD_PROGRESS is sent.
void send_download_report(data_response_t& response, WPARAM total, LPARAM current);

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
    DWORD error = 0;      // WinHTTP's error from the call that failed, 0 when none did
    bool marker = false;  // a chunk began with the missing-file marker
};

// Fetches url whole into response.data: a length probe, then the body request.
// Returns true when the whole body arrived; with a window, the final report
// says the same before the call returns. With report, also what the host
// answered.
bool download_to_memory(const char* url, data_response_t& response, transfer_report_t* report = nullptr);
