#pragma once
// Names of the file that a new executable is written to before it is moved
// over the installed one: "<target>.<process id>.tmp" beside it. No Win32
// here: it is also built natively.
#include <cstdint>
#include <string>

std::wstring staged_file_name(const std::wstring& target_name, std::uint32_t process_id);

// True only for a name that staged_file_name could have given for this
// target, whatever the process: an updater that was ended between writing
// and moving leaves such a file behind, and nothing else may be taken for one.
bool is_staged_file_name(const std::wstring& name, const std::wstring& target_name);
