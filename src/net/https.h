#pragma once
// HTTPS GET requests with WinHTTP and downloads into memory.
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "common/scoped.h"

struct internet_handle_traits {
    using handle_type = HINTERNET;
    static handle_type none() { return nullptr; }
    static void release(handle_type handle) { WinHttpCloseHandle(handle); }
};
using scoped_internet = scoped<internet_handle_traits>;

// What a download fills. With a window in hwnd, the download reports to it
// with UM_DOWNLOAD_PROGRESS; data holds the body.
struct data_response_t {
    HWND hwnd = nullptr;
    std::vector<char> data;
};

// Opens session, connection and request for url (always TLS, always port 443,
// whatever the URL says) and sends the GET. The owners hold whatever was
// opened, also on failure; declared in that order they close request,
// connection, session.
BOOL open_https_request(const std::wstring& url, scoped_internet& session, scoped_internet& connection,
                        scoped_internet& request);

// One complete request that only reads the response's Content-Length.
// On false, content_length keeps its value.
bool query_content_length(const char* url, DWORD& content_length);

// Fetches url whole into response.data: a length probe, then the body request.
// Returns true when the whole body arrived; with a window, the final report
// says the same before the call returns.
bool download_to_memory(const char* url, data_response_t& response);
