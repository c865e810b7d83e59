#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/messages.h"
#include "net/deadline_fetch.h"
#include "net/https.h"
#include "release_host.h"

namespace {

struct report {
    WPARAM total;
    LPARAM current;
    std::size_t bytes_held;  // response.data.size() while the report was handled
};

constexpr WPARAM failure_total = static_cast<WPARAM>(-1);

// A real window on the test thread that records every progress report, while
// the download runs on a worker thread as it does behind the dialog.
class report_window {
public:
    explicit report_window(const data_response_t& watched) : watched_(watched) {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &report_window::procedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"ombup_test_report_window";
        RegisterClassW(&window_class);
        hwnd_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, this);
    }
    ~report_window() { DestroyWindow(hwnd_); }

    HWND hwnd() const { return hwnd_; }
    const std::vector<report>& reports() const { return reports_; }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<report_window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == UM_DOWNLOAD_PROGRESS && self != nullptr) {
            self->reports_.push_back({wparam, lparam, self->watched_.data.size()});
            return 0;
        }
        return DefWindowProcW(hwnd, message, wparam, lparam);
    }

    const data_response_t& watched_;
    HWND hwnd_ = nullptr;
    std::vector<report> reports_;
};

struct download_run {
    bool result = false;
    std::vector<report> reports;
    double seconds = 0;
};

download_run download_with_window(const std::string& url, data_response_t& response) {
    download_run run;
    report_window window(response);
    response.hwnd = window.hwnd();
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        run.result = download_to_memory(url.c_str(), response);
        done = true;
        PostMessageW(window.hwnd(), WM_NULL, 0, 0);
    });
    MSG message;
    while (!done && GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    worker.join();
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.reports = window.reports();
    return run;
}

download_run download_with_window(const std::string& url) {
    data_response_t response;
    return download_with_window(url, response);
}

// Every report before the last is progress: the probe's length, the bytes held.
void expect_progress_reports(const std::vector<report>& reports, WPARAM total) {
    ASSERT_FALSE(reports.empty());
    std::size_t previous = 0;
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "report " << i);
        EXPECT_EQ(reports[i].total, total);
        EXPECT_EQ(static_cast<std::size_t>(reports[i].current), reports[i].bytes_held);
        EXPECT_GT(reports[i].bytes_held, previous);
        previous = reports[i].bytes_held;
    }
}

void expect_success_end(const std::vector<report>& reports) {
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().total, 100u);
    EXPECT_EQ(reports.back().current, 100);
}

void expect_failure_end(const std::vector<report>& reports) {
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().total, failure_total);
    EXPECT_EQ(reports.back().current, 0);
}

std::string as_string(const std::vector<char>& data) { return std::string(data.begin(), data.end()); }

TEST(OnTheWire, EveryFileIsFetchedWithTwoIdenticalGets) {
    const std::string path = test_path("OmBry64.exe");
    serve(path, patterned_bytes(5000));
    data_response_t response;
    ASSERT_TRUE(download_to_memory(host_url(path).c_str(), response));

    const std::vector<host_request> requests = requests_to(path);
    ASSERT_EQ(requests.size(), 2u);
    for (const host_request& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.user_agent, "OmBryUpdater");
        EXPECT_EQ(request.accept, "*/*");
        EXPECT_EQ(request.host, "localhost");
        EXPECT_FALSE(request.has_body);
        EXPECT_TRUE(request.tls);
        EXPECT_EQ(request.port, 443);
    }
}

// The scheme and port of the URL are not used: always TLS to port 443.
TEST(OnTheWire, ThePortAndSchemeInTheUrlAreNotUsed) {
    for (const std::string origin : {"https://localhost:8443", "http://localhost:8080", "http://localhost"}) {
        SCOPED_TRACE(origin);
        const std::string path = test_path("file.bin");
        serve(path, "some bytes");
        const std::size_t before = requests_to(path).size();
        data_response_t response;
        EXPECT_TRUE(download_to_memory((origin + path).c_str(), response));
        EXPECT_EQ(as_string(response.data), "some bytes");
        const std::vector<host_request> requests = requests_to(path);
        ASSERT_EQ(requests.size(), before + 2);
        for (std::size_t i = before; i < requests.size(); ++i) {
            EXPECT_TRUE(requests[i].tls);
            EXPECT_EQ(requests[i].port, 443);
        }
    }
}

TEST(OnTheWire, AnEmptyOrMalformedUrlOpensNothing) {
    for (const wchar_t* url : {L"", L"not a url", L"ftp://localhost/x", L"https://"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(url)));
        scoped_internet session, connection, request;
        EXPECT_FALSE(open_https_request(url, session, connection, request));
        EXPECT_FALSE(session);
        EXPECT_FALSE(connection);
        EXPECT_FALSE(request);
    }
    data_response_t response;
    response.data = {'o', 'l', 'd'};
    EXPECT_FALSE(download_to_memory("", response));
    EXPECT_TRUE(response.data.empty());
}

TEST(QueryContentLength, AZeroLengthPasses) {
    const std::string path = test_path("empty.txt");
    serve(path, "");
    DWORD length = 77;
    EXPECT_TRUE(query_content_length(host_url(path).c_str(), length));
    EXPECT_EQ(length, 0u);
}

TEST(QueryContentLength, AResponseWithoutTheHeaderFailsAndLeavesTheValue) {
    for (const char* framing : {"chunked", "close"}) {
        SCOPED_TRACE(framing);
        const std::string path = test_path(std::string(framing) + ".bin");
        serve(path, patterned_bytes(3000), std::string("{\"framing\": \"") + framing + "\"}");
        DWORD length = 77;
        EXPECT_FALSE(query_content_length(host_url(path).c_str(), length));
        EXPECT_EQ(length, 77u);
        EXPECT_EQ(requests_to(path).size(), 1u);
    }
}

TEST(QueryContentLength, AnErrorPageWithALengthPasses) {
    const std::string path = test_path("missing.exe");  // the host answers 404 with "404: Not Found"
    DWORD length = 0;
    EXPECT_TRUE(query_content_length(host_url(path).c_str(), length));
    EXPECT_EQ(length, 14u);
}

TEST(Download, ReportsEveryChunkThenCompletion) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(200000);
    serve(path, bytes, R"({"body": {"chunks": [1000, 50000, 70000]}})");
    data_response_t response;
    const download_run run = download_with_window(host_url(path), response);

    EXPECT_TRUE(run.result);
    EXPECT_EQ(as_string(response.data), bytes);
    // At least one report per flushed piece, each for a longer body but all
    // short of the full size, then the end report: only once the body has
    // ended is it known not to run past its length.
    ASSERT_GE(run.reports.size(), 5u);
    expect_progress_reports(run.reports, bytes.size());
    EXPECT_EQ(run.reports[0].bytes_held, 1000u);
    EXPECT_LT(run.reports[run.reports.size() - 2].bytes_held, bytes.size());
    EXPECT_EQ(run.reports.back().bytes_held, bytes.size());
    expect_success_end(run.reports);
}

TEST(Download, AnEmptyFileSucceedsWithTheEndReportAlone) {
    const std::string path = test_path("empty.txt");
    serve(path, "");
    data_response_t response;
    response.data = {'o', 'l', 'd'};
    const download_run run = download_with_window(host_url(path), response);
    EXPECT_TRUE(run.result);
    EXPECT_TRUE(response.data.empty());
    ASSERT_EQ(run.reports.size(), 1u);
    expect_success_end(run.reports);
}

TEST(Download, WithoutContentLengthFailsAfterTheProbeAlone) {
    for (const char* framing : {"chunked", "close"}) {
        SCOPED_TRACE(framing);
        const std::string path = test_path(std::string(framing) + ".exe");
        serve(path, patterned_bytes(3000), std::string("{\"framing\": \"") + framing + "\"}");
        data_response_t response;
        response.data = {'o', 'l', 'd'};
        const download_run run = download_with_window(host_url(path), response);
        EXPECT_FALSE(run.result);
        EXPECT_TRUE(response.data.empty());
        ASSERT_EQ(run.reports.size(), 1u);
        expect_failure_end(run.reports);
        EXPECT_EQ(requests_to(path).size(), 1u);
    }
}

TEST(Download, ABodyThatBeginsWithTheMissingFileMarkerFails) {
    for (const char* body : {"404: not found", "404: NOT FOUND and more text after it", "404: Not Found"}) {
        SCOPED_TRACE(body);
        const std::string path = test_path("marked.exe");
        serve(path, body);
        data_response_t response;
        const download_run run = download_with_window(host_url(path), response);
        EXPECT_FALSE(run.result);
        EXPECT_TRUE(response.data.empty());
        ASSERT_EQ(run.reports.size(), 1u);
        expect_failure_end(run.reports);
    }
    // The host's own answer for a file it does not have.
    data_response_t response;
    EXPECT_FALSE(download_with_window(host_url(test_path("absent.exe")), response).result);
}

TEST(Download, TheMarkerAtTheStartOfALaterChunkFailsAndKeepsTheEarlierChunks) {
    const std::string path = test_path("OmBry64.exe");
    const std::string first = patterned_bytes(4000);
    serve(path, first + "404: Not Found" + patterned_bytes(3000), R"({"chunks": [4000]})");
    data_response_t response;
    const download_run run = download_with_window(host_url(path), response);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(as_string(response.data), first);
    expect_progress_reports(run.reports, first.size() + 14 + 3000);
    expect_failure_end(run.reports);
}

TEST(Download, TheMarkerInsideAChunkOrAfterAZeroByteIsData) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = std::string("x404: not found", 15) + std::string("\0" "404: not found", 15);
    serve(path, bytes);
    data_response_t response;
    EXPECT_TRUE(download_to_memory(host_url(path).c_str(), response));
    EXPECT_EQ(as_string(response.data), bytes);
}

// The probe's length is the most a body may bring: a body request that goes
// past it fails at once, however much it announces itself, and its bytes
// beyond are never taken.
TEST(Download, ABodyThatRunsPastTheProbesLengthFailsAsSoonAsItDoes) {
    for (const char* body : {R"({"framing": "close", "endless": true})",
                             R"({"content_length": 400000000, "endless": true})", R"({})"}) {
        SCOPED_TRACE(body);
        const std::string path = test_path("OmBry64.exe");
        serve(path, patterned_bytes(30000, 3), std::string(R"({"probe": {"file": "short.bin"}, "body": )") + body + "}");
        serve(test_path("short.bin"), patterned_bytes(1000, 9));
        data_response_t response;
        transfer_report_t facts;
        EXPECT_FALSE(download_to_memory(host_url(path).c_str(), response, &facts));
        EXPECT_TRUE(facts.overran);
        EXPECT_LE(response.data.size(), 1000u);
        EXPECT_EQ(as_string(response.data), patterned_bytes(30000, 3).substr(0, response.data.size()));

        const download_run run = download_with_window(host_url(path));
        EXPECT_FALSE(run.result);
        for (const report& r : run.reports) EXPECT_LE(r.bytes_held, 1000u);
        expect_failure_end(run.reports);
    }
}

// A probe that announces more than may be held fails before the body is
// asked for; exactly that much is taken.
TEST(Download, AnAnnouncedLengthAboveWhatMayBeHeldFailsWithoutTheBodyRequest) {
    const std::string path = test_path("huge.exe");
    serve(path, patterned_bytes(1000), R"({"probe": {"content_length": 4000000000}})");
    data_response_t response;
    transfer_report_t report;
    EXPECT_FALSE(download_to_memory(host_url(path).c_str(), response, &report));
    EXPECT_TRUE(report.too_large);
    EXPECT_EQ(report.largest_body, largest_download);
    EXPECT_EQ(requests_to(path).size(), 1u);
    serve(path, patterned_bytes(1000), R"({"probe": {"content_length": 4000000000}})");
    const download_run run = download_with_window(host_url(path), response);
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.reports.size(), 1u);
    expect_failure_end(run.reports);

    // The version file: 64 KiB at most.
    for (const std::size_t size : {largest_version_file, largest_version_file + 1}) {
        SCOPED_TRACE(size);
        const std::string version_file = test_path("cversion-" + std::to_string(size) + ".txt");
        serve(version_file, "251" + std::string(size - 3, '\n'));
        std::vector<char> bytes;
        EXPECT_EQ(fetch_version_file(host_url(version_file).c_str(), bytes, &report), size == largest_version_file);
        EXPECT_EQ(report.too_large, size != largest_version_file);
        EXPECT_EQ(requests_to(version_file).size(), size == largest_version_file ? 2u : 1u);
    }
}

TEST(Download, TheBodyMustComeWithASuccessStatus) {
    const std::string page = "<html><title>503 Service Temporarily Unavailable</title></html>";
    for (int status : {200, 203, 299, 403, 404, 500, 503}) {
        SCOPED_TRACE(status);
        const std::string path = test_path("status-" + std::to_string(status) + ".txt");
        serve(path, page, R"({"status": )" + std::to_string(status) + "}");
        data_response_t response;
        const download_run run = download_with_window(host_url(path), response);
        EXPECT_EQ(run.result, status < 300);
        if (status >= 300) expect_failure_end(run.reports);
        // The length probe does not look at the status: the body is asked for.
        EXPECT_EQ(requests_to(path).size(), 2u);
    }
}

TEST(Download, ABodyCutShortOfItsDeclaredLengthFails) {
    const std::string path = test_path("OmBry64.exe");
    const std::string bytes = patterned_bytes(100000);
    serve(path, bytes, R"({"body": {"close_after": 60000}})");
    data_response_t response;
    const download_run run = download_with_window(host_url(path), response);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(as_string(response.data), bytes.substr(0, response.data.size()));
    EXPECT_LE(response.data.size(), 60000u);
    expect_failure_end(run.reports);
}

TEST(Download, ARecordWithAnEarlierBodyStartsEmpty) {
    const std::string good = test_path("good.bin");
    const std::string bad = test_path("chunked.bin");
    serve(good, "first body");
    serve(bad, "second body", R"({"framing": "chunked"})");
    data_response_t response;
    ASSERT_TRUE(download_to_memory(host_url(good).c_str(), response));
    ASSERT_EQ(as_string(response.data), "first body");
    EXPECT_FALSE(download_to_memory(host_url(bad).c_str(), response));
    EXPECT_TRUE(response.data.empty());
}

TEST(Download, WithoutAWindowTheResultAloneTellsTheOutcome) {
    const std::string path = test_path("cversion.txt");
    serve(path, "251\n");
    data_response_t response;
    EXPECT_TRUE(download_to_memory(host_url(path).c_str(), response));
    EXPECT_EQ(as_string(response.data), "251\n");
    EXPECT_FALSE(download_to_memory(host_url(test_path("absent.txt")).c_str(), response));
}

// Whatever the host's pacing, a fetch with a deadline has ended by then,
// failed; a quick host is read whole. The fetch gives up a stall here long
// before the step time-outs would, and a trickle that never trips them.
TEST(Deadline, AFetchEndsByItsDeadlineHoweverTheHostIsPaced) {
    const std::string quick = test_path("cversion.txt");
    serve(quick, "251\n");
    std::vector<char> bytes;
    transfer_report_t report;
    EXPECT_TRUE(fetch_within_deadline(host_url(quick).c_str(), largest_version_file, 20000, bytes, &report));
    EXPECT_EQ(as_string(bytes), "251\n");
    EXPECT_FALSE(report.deadline_passed);

    for (const char* pacing : {R"({"body": {"rate": 0.5}})", R"({"body": {"trickle_headers": 0.5}})",
                               R"({"probe": {"trickle_headers": 0.5}})", R"({"stall_before_headers": 3600})"}) {
        SCOPED_TRACE(pacing);
        const std::string path = test_path("slow.txt");
        // Minutes of bytes at that pace.
        serve(path, "251" + std::string(1000, ' '), pacing);
        bytes.assign(3, 'x');
        EXPECT_FALSE(fetch_within_deadline(host_url(path).c_str(), largest_version_file, 2000, bytes, &report));
        EXPECT_TRUE(report.deadline_passed);
        EXPECT_EQ(as_string(bytes), "xxx") << "the caller's bytes were touched";
    }
}

// A server that accepts and never answers, and one that stops in mid-body,
// each end the call after the 10 s time-out, long before the stall would.
TEST(TimeOut, AServerThatNeverAnswersFailsTheProbe) {
    const std::string path = test_path("stalled.exe");
    serve(path, patterned_bytes(1000), R"({"stall_before_headers": 3600})");
    const download_run run = download_with_window(host_url(path));
    EXPECT_FALSE(run.result);
    expect_failure_end(run.reports);
    EXPECT_GE(run.seconds, 9.0);
    EXPECT_LT(run.seconds, 100.0);
}

TEST(TimeOut, ABodyRequestThatNeverGetsAnAnswerFails) {
    const std::string path = test_path("stalled.exe");
    serve(path, patterned_bytes(1000), R"({"body": {"stall_before_headers": 3600}})");
    const download_run run = download_with_window(host_url(path));
    EXPECT_FALSE(run.result);
    expect_failure_end(run.reports);
    EXPECT_EQ(requests_to(path).size(), 2u);
    EXPECT_GE(run.seconds, 9.0);
    EXPECT_LT(run.seconds, 100.0);
}

TEST(TimeOut, ABodyThatStopsMidwayFails) {
    const std::string path = test_path("stalled.exe");
    const std::string bytes = patterned_bytes(100000);
    serve(path, bytes, R"({"body": {"stall_after": 40000, "stall_seconds": 3600}})");
    data_response_t response;
    const download_run run = download_with_window(host_url(path), response);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(as_string(response.data), bytes.substr(0, response.data.size()));
    expect_failure_end(run.reports);
    EXPECT_GE(run.seconds, 9.0);
    EXPECT_LT(run.seconds, 100.0);
}

}  // namespace
