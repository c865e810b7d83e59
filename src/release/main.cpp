// ombup-release: the publisher's release check. It checks a release as every
// installed updater will meet it, with the updater's own code, and says for
// each width whether the updaters will install it.
//   ombup-release check [SOURCE] [--previous EXE]... [--publisher SUBJECT] [--against FOLDER]
// Exit code 0: every updater installs the release; 1: some refuse it or
// misread the version file; 2: the check could not run.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "common/system_library.h"
#include "release/release_arguments.h"
#include "release/release_check.h"
#include "release/release_report.h"
#include "release_base_url.h"

namespace {

constexpr int every_updater_installs = 0;
constexpr int some_updater_refuses = 1;
constexpr int check_cannot_run = 2;

const char usage[] =
    "usage: ombup-release check [SOURCE] [--previous EXE]... [--publisher SUBJECT] [--against FOLDER]\n"
    "  SOURCE               a release folder on disk, or the release folder's address (https://.../master/release/);\n"
    "                       without it, the address compiled into the updater\n"
    "  --previous EXE       a build that users have installed now (repeatable)\n"
    "  --publisher SUBJECT  the OMBUP_PUBLISHER the shipped updaters were built with\n"
    "  --against FOLDER     the host must serve the bytes of this folder (with an address)";

// UTF-8 to a file or a pipe; a console is given the wide text, which it
// shows whatever its code page.
void print(DWORD stream, const std::string& text) {
    const HANDLE out = GetStdHandle(stream);
    const std::string line = text + "\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        const int size = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), size);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

int cannot_check(const std::string& problem) {
    print(STD_ERROR_HANDLE, "ombup-release: " + problem);
    return check_cannot_run;
}

int check(int argc, wchar_t** argv) {
    load_libraries_from_system_folder_only();
    release_arguments_t arguments;
    std::string problem;
    if (!parse_release_arguments(std::vector<std::wstring>(argv + 1, argv + argc), arguments, problem)) {
        print(STD_ERROR_HANDLE, usage);
        return cannot_check(problem);
    }
    release_facts_t facts;
    if (!gather_release_facts(arguments, facts, problem)) return cannot_check(problem);

    const release_report_t report = report_release(facts);
    print(STD_OUTPUT_HANDLE, "Release " + (arguments.source.empty() ? std::string(release_base_url) + " (the updater's own)"
                                                                     : utf8(arguments.source)) + ":");
    for (const std::string& line : report.lines) print(STD_OUTPUT_HANDLE, line);
    print(STD_OUTPUT_HANDLE, "");
    for (const std::string& line : report.verdicts) print(STD_OUTPUT_HANDLE, line);
    return report.passed ? every_updater_installs : some_updater_refuses;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return check(argc, argv);
    } catch (const std::bad_alloc&) {
        return cannot_check("no memory left for the check");
    }
}
