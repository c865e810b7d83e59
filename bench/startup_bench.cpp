// Time from starting the updater to its final box: the up-to-date box, which
// comes after it has fetched "cversion.txt" (two requests), or the connection
// error when the fetch fails.
//   startup_bench UPDATER_EXE "ARGUMENTS" [RUNS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "test_env.h"
#include "ui_driver.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench UPDATER_EXE \"ARGUMENTS\" [RUNS]\n");
        return 2;
    }
    const std::wstring command = L"\"" + std::wstring(argv[1]) + L"\" " + argv[2];
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 7;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const scoped_handle updater = start_program(command);
        HWND box = nullptr;
        while (updater && (box = find_dialog(L"OmBry - Auto update")) == nullptr &&
               WaitForSingleObject(updater.get(), 1) == WAIT_TIMEOUT) {
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (box == nullptr) {
            std::fprintf(stderr, "no box appeared\n");
            return 1;
        }
        times.push_back(seconds);
        std::printf("run %d: %.3f s\n", run + 1, seconds);
        press_button(box, IDOK);
        if (wait_for_exit(updater, 10000) != 0) return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("median %.3f s\n", times[times.size() / 2]);
    return 0;
}
