// Time that install_update takes before it can tell the user that the
// download succeeded: the leftover scan, writing and flushing the staged
// file, reading its version and checking both signatures. Copied beside
// OmBry64.exe, since it installs there; OmBry64.exe is put back from
// INSTALLED before each run.
//   install_bench NEW_EXE INSTALLED_EXE [RUNS]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "install/install.h"
#include "update/paths.h"

namespace {

using clock_type = std::chrono::steady_clock;

// Waits for the box that follows the checks and answers it; the time it appeared.
clock_type::time_point answer_success_box() {
    for (;;) {
        const HWND box = FindWindowW(L"#32770", L"OmBry - Auto update");
        if (box != nullptr && IsWindowVisible(box)) {
            const clock_type::time_point seen = clock_type::now();
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return seen;
        }
        Sleep(1);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: install_bench NEW_EXE INSTALLED_EXE [RUNS]\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<char> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    const std::wstring target = get_installed_exe_path(64);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        if (!CopyFileW(argv[2], target.c_str(), FALSE)) return 1;
        clock_type::time_point seen{};
        std::thread user([&] { seen = answer_success_box(); });
        const clock_type::time_point start = clock_type::now();
        const install_result_t result = install_update(data, 64, 251, false, true, nullptr, L"");
        user.join();
        if (result == install_result_t::refused) {
            std::fprintf(stderr, "the new executable was refused\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double>(seen - start).count());
        std::printf("run %d: %zu bytes staged and checked in %.3f s\n", run + 1, data.size(), times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("median %.3f s\n", times[times.size() / 2]);
    return 0;
}
