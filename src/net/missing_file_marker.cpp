#include "net/missing_file_marker.h"

namespace {

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool begins_with_missing_file_marker(std::string_view chunk) {
    constexpr std::string_view marker = "404: not found";
    if (chunk.size() < marker.size()) return false;
    for (std::size_t i = 0; i < marker.size(); ++i) {
        if (ascii_lower(chunk[i]) != marker[i]) return false;
    }
    return true;
}
