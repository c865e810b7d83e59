#pragma once
// Fetches that end in time whatever the host does.
#include <cstddef>
#include <vector>

#include "net/https.h"

// download_to_memory on a thread of its own, of at most largest_body bytes,
// ended as failed once deadline_ms have passed since the call, however the
// host paces its answers. The calling thread waits without handling any
// message, so a message sent to its windows meanwhile is handled once the
// call has returned. A fetch given up at its deadline goes on alone, on its
// own copies, only until its next step.
bool fetch_within_deadline(const char* url, std::size_t largest_body, unsigned deadline_ms,
                           std::vector<char>& bytes, transfer_report_t* report = nullptr) noexcept;

// "cversion.txt", as every updater fetches it: within version_file_deadline_ms
// and at most largest_version_file bytes.
bool fetch_version_file(const char* url, std::vector<char>& bytes, transfer_report_t* report = nullptr) noexcept;
