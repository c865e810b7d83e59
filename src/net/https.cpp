#include "net/https.h"

#include <exception>
#include <memory>
#include <new>
#include <string_view>

#include "common/messages.h"
#include "net/missing_file_marker.h"
#include "net/widen_string.h"

namespace {

constexpr wchar_t user_agent[] = L"OmBryUpdater";
constexpr int timeout_ms = 10000;
constexpr INTERNET_PORT https_port = 443;

// TLS 1.2 and 1.3 alone. Older systems whose WinHTTP still defaults to TLS 1.0
// could reach no current host without this; and 1.0 and 1.1 are never named,
// since naming a version turns it on again where Windows has it off by
// default. A system that does not know TLS 1.3 refuses the pair, so it is
// asked for 1.2 alone; one that refuses that too keeps its default.
void allow_modern_tls(const winhttp_api_t& http, HINTERNET session) {
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (http.WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) return;
    protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    http.WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
}

// The session's time-outs do not bound the wait for the response headers
// (90 s on Windows, no limit under Wine); only this per-request option does.
void bound_response_wait(const winhttp_api_t& http, HINTERNET request) {
    DWORD timeout = timeout_ms;
    http.WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout, sizeof timeout);
}

bool query_number_header(HINTERNET request, DWORD info_level, DWORD& value) {
    DWORD number = 0;
    DWORD size = sizeof number;
    if (!winhttp_api()->WinHttpQueryHeaders(request, info_level | WINHTTP_QUERY_FLAG_NUMBER,
                                            WINHTTP_HEADER_NAME_BY_INDEX, &number, &size, WINHTTP_NO_HEADER_INDEX))
        return false;
    value = number;
    return true;
}

// What a received response says, for the caller that wants to know.
void note_answer(HINTERNET request, transfer_report_t::answer_t& answer) {
    answer.answered = true;
    answer.has_length = query_number_header(request, WINHTTP_QUERY_CONTENT_LENGTH, answer.length);
    query_number_header(request, WINHTTP_QUERY_STATUS_CODE, answer.status);
}

// Opens and sends the request and receives its response's headers; on a
// failure, WinHTTP's reason goes to the report.
bool receive_response(const char* url, scoped_internet& session, scoped_internet& connection,
                      scoped_internet& request, transfer_report_t& report) {
    if (open_https_request(widen_string(url), session, connection, request) &&
        winhttp_api()->WinHttpReceiveResponse(request.get(), nullptr))
        return true;
    report.error = GetLastError();
    return false;
}

bool probe_length(const char* url, DWORD& content_length, transfer_report_t& report) {
    scoped_internet session, connection, request;
    if (!receive_response(url, session, connection, request, report)) return false;
    note_answer(request.get(), report.probe);
    if (!report.probe.has_length) return false;
    content_length = report.probe.length;
    return true;
}

// Reads the body of a received response chunk by chunk into response.data,
// which has room for content_length bytes.
bool read_body(HINTERNET request, DWORD content_length, data_response_t& response, transfer_report_t& report) {
    const winhttp_api_t* const http = winhttp_api();
    for (;;) {
        if (response.stop) return false;
        DWORD available = 0;
        if (!http->WinHttpQueryDataAvailable(request, &available)) {
            report.error = GetLastError();
            return false;
        }
        // A body that stops short of the length its own response declared
        // was cut off, even where WinHTTP reports the early close as a normal
        // end.
        if (available == 0) return !report.body.has_length || response.data.size() >= report.body.length;
        // More than the probe announced: another file, or a body with no
        // end, which would grow until memory ran out. Its bytes are not read.
        if (available > content_length - response.data.size()) {
            report.overran = true;
            return false;
        }

        const std::unique_ptr<char[]> chunk(new (std::nothrow) char[std::size_t{available} + 1]());
        if (!chunk) {
            report.out_of_memory = true;
            return false;
        }
        DWORD read = 0;
        if (!http->WinHttpReadData(request, chunk.get(), available, &read)) {
            report.error = GetLastError();
            return false;
        }
        if (read > available) return false;
        if (begins_with_missing_file_marker(std::string_view(chunk.get(), read))) {
            report.marker = true;
            return false;
        }
        response.data.insert(response.data.end(), chunk.get(), chunk.get() + read);
        // A report of the whole announced size reads as the end, yet more
        // bytes may follow: that one is left to the end report, once the body
        // has ended where it should.
        if (response.data.size() < content_length)
            send_download_report(response, content_length, static_cast<LPARAM>(response.data.size()));
    }
}

bool fetch_body(const char* url, data_response_t& response, transfer_report_t& report) {
    report.largest_body = response.largest_body;
    DWORD content_length = 0;
    if (!probe_length(url, content_length, report)) return false;
    if (content_length > response.largest_body) {
        report.too_large = true;
        return false;
    }
    // Room for the whole body at once, before it is asked for: a growing
    // array would need about twice the body at its peak, and a body that
    // cannot be held fails here.
    response.data.reserve(content_length);
    if (response.stop) return false;

    scoped_internet session, connection, request;
    if (!receive_response(url, session, connection, request, report)) return false;
    note_answer(request.get(), report.body);
    // An error page (a server error, a missing file, a maintenance notice) is
    // no body of the file, whatever it says.
    if (report.body.status < 200 || report.body.status > 299) return false;
    return read_body(request.get(), content_length, response, report);
}

}  // namespace

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<WPARAM>::is_always_lock_free &&
              std::atomic<LPARAM>::is_always_lock_free);

void pending_report_t::put(WPARAM total, LPARAM current) noexcept {
    total_.store(total, std::memory_order_relaxed);
    current_.store(current, std::memory_order_relaxed);
    held_.store(true, std::memory_order_release);
}

bool pending_report_t::take(WPARAM& total, LPARAM& current) noexcept {
    if (!held_.exchange(false, std::memory_order_acquire)) return false;
    total = total_.load(std::memory_order_relaxed);
    current = current_.load(std::memory_order_relaxed);
    return true;
}

void pending_report_t::clear() noexcept { held_.store(false, std::memory_order_release); }

void send_download_report(data_response_t& response, WPARAM total, LPARAM current) noexcept {
    if (response.hwnd == nullptr) return;
    response.pending.put(total, current);
    SendMessageW(response.hwnd, UM_DOWNLOAD_PROGRESS, total, current);
    response.pending.clear();
}

BOOL open_https_request(const std::wstring& url, scoped_internet& session, scoped_internet& connection,
                        scoped_internet& request) {
    request.reset();
    connection.reset();
    session.reset();
    const winhttp_api_t* const http = winhttp_api();
    if (http == nullptr) return FALSE;

    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (!http->WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return FALSE;

    session.reset(http->WinHttpOpen(user_agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return FALSE;
    http->WinHttpSetTimeouts(session.get(), timeout_ms, timeout_ms, timeout_ms, timeout_ms);
    allow_modern_tls(*http, session.get());

    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    connection.reset(http->WinHttpConnect(session.get(), host.c_str(), https_port, 0));
    if (!connection) return FALSE;

    const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    const wchar_t* accept_types[] = {L"*/*", nullptr};
    request.reset(http->WinHttpOpenRequest(connection.get(), L"", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           accept_types, WINHTTP_FLAG_SECURE));
    if (!request) return FALSE;
    bound_response_wait(*http, request.get());
    return http->WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
}

bool query_content_length(const char* url, DWORD& content_length) {
    transfer_report_t report;
    return probe_length(url, content_length, report);
}

bool download_to_memory(const char* url, data_response_t& response, transfer_report_t* report) noexcept {
    response.data.clear();
    transfer_report_t unused;
    transfer_report_t& facts = report != nullptr ? *report : unused;
    bool complete = false;
    try {
        complete = fetch_body(url, response, facts);
    } catch (const std::exception&) {
        // No memory for the body or for a request's strings (std::bad_alloc,
        // std::length_error): the download fails like any other.
        facts.out_of_memory = true;
    }
    if (complete) {
        send_download_report(response, 100, 100);
    } else {
        send_download_report(response, static_cast<WPARAM>(-1), 0);
    }
    return complete;
}
