// Time that install_update takes before it can tell the user that the
// download succeeded (the leftover scan, writing and flushing the staged
// file, reading its version and checking both signatures), and from OK in
// that box to the relaunch (the close passes, the wait for the product's
// process, the move, ShellExecuteW), with the product running and ending
// at once when asked. Copied beside OmBry64.exe, since it installs there;
// OmBry64.exe is put back from INSTALLED and started before each run (a
// fake product that reads fake_product.cfg beside it).
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

const wchar_t product_class[] = L"OmBry_MainWnd";

// Waits for the box that follows the checks and answers it: the time it
// appeared, and the time OK was pressed.
void answer_success_box(clock_type::time_point& seen, clock_type::time_point& pressed) {
    for (;;) {
        const HWND box = FindWindowW(L"#32770", L"OmBry - Auto update");
        if (box != nullptr && IsWindowVisible(box)) {
            seen = clock_type::now();
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            pressed = clock_type::now();
            return;
        }
        Sleep(1);
    }
}

// Starts the installed product and waits for its window.
bool start_product(const std::wstring& exe) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int i = 0; i < 30000 && FindWindowW(product_class, nullptr) == nullptr; ++i) Sleep(1);
    return FindWindowW(product_class, nullptr) != nullptr;
}

// Ends the product that the installation started again.
void end_restarted_product() {
    for (int i = 0; i < 30000; ++i) {
        const HWND window = FindWindowW(product_class, nullptr);
        if (window != nullptr) {
            DWORD id = 0;
            GetWindowThreadProcessId(window, &id);
            const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (process != nullptr) {
                TerminateProcess(process, 0);
                WaitForSingleObject(process, 30000);
                CloseHandle(process);
            }
            return;
        }
        Sleep(1);
    }
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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
    std::vector<double> checks;
    std::vector<double> relaunches;
    for (int run = 0; run < runs; ++run) {
        if (!CopyFileW(argv[2], target.c_str(), FALSE) || !start_product(target)) return 1;
        clock_type::time_point seen{};
        clock_type::time_point pressed{};
        std::thread user([&] { answer_success_box(seen, pressed); });
        const clock_type::time_point start = clock_type::now();
        const install_result_t result = install_update(data, 64, 251, false, true, nullptr, L"");
        const clock_type::time_point relaunched = clock_type::now();
        user.join();
        end_restarted_product();
        if (result == install_result_t::refused) {
            std::fprintf(stderr, "the new executable was refused\n");
            return 1;
        }
        checks.push_back(std::chrono::duration<double>(seen - start).count());
        relaunches.push_back(std::chrono::duration<double>(relaunched - pressed).count());
        std::printf("run %d: %zu bytes staged and checked in %.3f s; OK to relaunch %.3f s\n", run + 1, data.size(),
                    checks.back(), relaunches.back());
    }
    std::printf("median: staged and checked %.3f s, OK to relaunch %.3f s\n", median(checks), median(relaunches));
    return 0;
}
