#pragma once
// The command line of the publisher's release check. No Win32 here.
//   check [SOURCE] [--previous EXE]... [--publisher SUBJECT] [--against FOLDER]
#include <string>
#include <string_view>
#include <vector>

struct release_arguments_t {
    // A release folder on disk, or the release folder's HTTPS address; empty
    // for the address compiled into the updater.
    std::wstring source;
    // Builds that users have installed now.
    std::vector<std::wstring> previous;
    // The subject the shipped updaters require (OMBUP_PUBLISHER), or empty.
    std::wstring publisher;
    // A folder whose files the host must serve byte for byte (address only).
    std::wstring against;
};

// arguments: the command line's words after the program's name. False, with
// the reason in problem, for a command line that is not of that form.
bool parse_release_arguments(const std::vector<std::wstring>& arguments, release_arguments_t& parsed,
                             std::string& problem);

// True when the source names a host rather than a folder on disk.
bool is_address(std::wstring_view source);

// The form the updater's release folder is built with: "https://", a host,
// any path, ending in "/master/release/"; printable ASCII without quotes,
// backslashes or spaces.
bool is_release_folder_address(std::wstring_view address);
