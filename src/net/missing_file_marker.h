#pragma once
#include <string_view>

// The release host answers a missing file with a body that begins with
// "404: not found", in any letter case. Only the start of a chunk counts, and
// a chunk shorter than the marker never matches.
bool begins_with_missing_file_marker(std::string_view chunk);
