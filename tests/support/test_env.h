#pragma once
// Where a test finds the sandbox's folders, and small file and process helpers.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/scoped.h"

// A Unix path from the sandbox as Wine's Z: drive sees it.
std::wstring windows_path(const std::string& unix_path);

// Folders the sandbox provides (see tests/harness/sandbox).
std::wstring source_dir();
std::wstring build_dir();
std::wstring www_dir();
std::wstring work_dir();

// <suite>.<test> of the running test, usable as a file name.
std::wstring current_test_name();

// The running test's own fresh folder below work_dir(): work\<suite>.<test>[-suffix].
std::wstring fresh_test_folder(const std::wstring& suffix = L"");

// The folder holding the running test program.
std::wstring test_program_dir();

std::string read_file(const std::wstring& path);
void write_file(const std::wstring& path, const std::string& bytes);
bool file_exists(const std::wstring& path);
// The names of the files and folders in a folder, sorted.
std::vector<std::wstring> files_in(const std::wstring& folder);
void make_folders(const std::wstring& path);
std::wstring widen_utf8(const std::string& text);
std::string narrow_utf8(const std::wstring& text);

// Starts a program and waits for it; returns its exit code, or -1 when it
// could not be started or did not end within the time.
int run_program(const std::wstring& command_line, DWORD timeout_ms = 30000);

// The same, with what it wrote to its standard output and error in output.
int run_program(const std::wstring& command_line, std::string& output, DWORD timeout_ms = 60000);

// Starts a program and returns at once with its process handle (empty when it
// could not be started).
scoped_handle start_program(const std::wstring& command_line);

// Waits for a started program to end; its exit code, or -1 on time-out.
int wait_for_exit(const scoped_handle& process, DWORD timeout_ms = 30000);

// Ids of the running processes started from that executable file.
std::vector<DWORD> processes_running(const std::wstring& exe_path);

// Ends them all, and waits until they have ended.
void end_processes_running(const std::wstring& exe_path);

// Asks again every few milliseconds until the condition holds (true) or the
// time is up (false): for what another process does in its own time.
bool wait_until(const std::function<bool()>& condition, DWORD timeout_ms = 30000);
