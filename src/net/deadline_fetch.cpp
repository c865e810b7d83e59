#include "net/deadline_fetch.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

#include "common/detached_thread.h"

namespace {

// Everything the fetching thread touches, shared with the caller so that
// whichever lets go last frees it: a caller that has given up at the
// deadline leaves it to the thread.
struct fetch_state_t {
    std::string url;
    data_response_t response;
    transfer_report_t report;
    bool complete = false;
    scoped_handle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

void fetch(const std::shared_ptr<fetch_state_t>& state) noexcept {
    state->complete = download_to_memory(state->url.c_str(), state->response, &state->report);
    // The caller reads the state only once this is set, and no more after
    // the deadline.
    SetEvent(state->done.get());
}

}  // namespace

bool fetch_within_deadline(const char* url, std::size_t largest_body, unsigned deadline_ms,
                           std::vector<char>& bytes, transfer_report_t* report) noexcept {
    transfer_report_t unused;
    transfer_report_t& facts = report != nullptr ? *report : unused;
    facts = transfer_report_t{};
    facts.largest_body = largest_body;
    try {
        const std::shared_ptr<fetch_state_t> state = std::make_shared<fetch_state_t>();
        if (!state->done) return false;
        state->url = url;
        state->response.largest_body = largest_body;
        if (!start_detached_thread([state]() noexcept { fetch(state); })) {
            facts.no_thread = true;
            return false;
        }
        // No message is handled while this waits: a close request sent to the
        // caller's window is answered once the fetch has ended, at the latest
        // at the deadline.
        if (WaitForSingleObject(state->done.get(), deadline_ms) != WAIT_OBJECT_0) {
            state->response.stop = true;
            facts.deadline_passed = true;
            return false;
        }
        facts = state->report;
        bytes = std::move(state->response.data);
        return state->complete;
    } catch (const std::bad_alloc&) {
        facts.out_of_memory = true;
        return false;
    }
}

bool fetch_version_file(const char* url, std::vector<char>& bytes, transfer_report_t* report) noexcept {
    return fetch_within_deadline(url, largest_version_file, version_file_deadline_ms, bytes, report);
}
