#pragma once
// Where a test finds the sandbox's folders, and small file and process helpers.
#include <windows.h>

#include <string>
#include <vector>

// A Unix path from the sandbox as Wine's Z: drive sees it.
std::wstring windows_path(const std::string& unix_path);

// Folders the sandbox provides (see tests/harness/sandbox).
std::wstring source_dir();
std::wstring build_dir();
std::wstring www_dir();
std::wstring work_dir();

// The running test's own fresh folder below work_dir(): work\<suite>.<test>[-suffix].
std::wstring fresh_test_folder(const std::wstring& suffix = L"");

// The folder holding the running test program.
std::wstring test_program_dir();

std::string read_file(const std::wstring& path);
void write_file(const std::wstring& path, const std::string& bytes);
bool file_exists(const std::wstring& path);
void make_folders(const std::wstring& path);
std::wstring widen_utf8(const std::string& text);
std::string narrow_utf8(const std::wstring& text);

// Starts a program and waits for it; returns its exit code, or -1 when it
// could not be started or did not end within the time.
int run_program(const std::wstring& command_line, DWORD timeout_ms = 30000);
