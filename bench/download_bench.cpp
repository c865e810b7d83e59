// Times download_to_memory on one URL: MiB/s per run and the process's peak
// memory.   download_bench URL [RUNS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/https.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_bench URL [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<double> rates;
    std::size_t size = 0;
    for (int run = 0; run < runs; ++run) {
        data_response_t response;
        const auto start = std::chrono::steady_clock::now();
        if (!download_to_memory(argv[1], response)) {
            std::fprintf(stderr, "download failed\n");
            return 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        size = response.data.size();
        rates.push_back(static_cast<double>(size) / (1024.0 * 1024.0) / seconds);
        std::printf("run %d: %zu bytes in %.3f s, %.1f MiB/s\n", run + 1, size, seconds, rates.back());
    }
    std::sort(rates.begin(), rates.end());
    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("median %.1f MiB/s\n", rates[rates.size() / 2]);
    // Wine keeps the peak working set; its peak private bytes stay near zero.
    std::printf("peak working set %.1f MiB (file %.1f MiB)\n",
                static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0),
                static_cast<double>(size) / (1024.0 * 1024.0));
    return 0;
}
