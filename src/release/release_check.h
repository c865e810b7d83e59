#pragma once
// Gathers the facts of a release for the publisher's release check, asking
// the updater's own code: the same download, the same reading of
// "cversion.txt", the same image, version and publisher checks.
#include <string>

#include "release/release_arguments.h"
#include "release/release_report.h"

// False, with the reason in problem, when the check cannot run: a folder
// that is not there, a previous build that cannot be read or is no Windows
// executable.
bool gather_release_facts(const release_arguments_t& arguments, release_facts_t& facts, std::string& problem);

// UTF-16 to UTF-8, for the report's lines.
std::string utf8(const std::wstring& text);
