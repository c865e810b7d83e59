// Times a download of one URL, MiB/s per run and the process's peak memory:
// through download_to_memory alone, or through the whole download dialog
// (worker, reports, painted bar).
//   download_bench [--dialog] URL [RUNS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/https.h"
#include "ui/download_dlg.h"

namespace {

// Bytes received, or 0 when the download did not complete.
std::size_t download(const char* url, bool through_dialog) {
    if (!through_dialog) {
        data_response_t response;
        return download_to_memory(url, response) ? response.data.size() : 0;
    }
    c_download_dlg dialog(url, GetModuleHandleW(nullptr), nullptr);
    dialog.do_modal();
    const bool complete = dialog.completed == 1 && dialog.total == dialog.current;
    return complete ? dialog.received.size() : 0;
}

}  // namespace

int main(int argc, char** argv) {
    int next = 1;
    const bool through_dialog = argc > 1 && std::strcmp(argv[1], "--dialog") == 0;
    if (through_dialog) ++next;
    if (argc <= next) {
        std::fprintf(stderr, "usage: download_bench [--dialog] URL [RUNS]\n");
        return 2;
    }
    const char* url = argv[next];
    const int runs = argc > next + 1 ? std::max(1, std::atoi(argv[next + 1])) : 5;
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::size_t size = download(url, through_dialog);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (size == 0) {
            std::fprintf(stderr, "download failed\n");
            return 1;
        }
        rates.push_back(static_cast<double>(size) / (1024.0 * 1024.0) / seconds);
        std::printf("run %d: %zu bytes in %.3f s, %.1f MiB/s\n", run + 1, size, seconds, rates.back());
    }
    std::sort(rates.begin(), rates.end());
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("median %.1f MiB/s\n", rates[rates.size() / 2]);
    // Wine keeps the peak working set; its peak private bytes stay near zero.
    std::printf("peak working set %.1f MiB\n", static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));
    return 0;
}
