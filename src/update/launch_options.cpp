#include "update/launch_options.h"

#include <limits>

namespace {

template <class Char>
bool is_white_space(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <class Char>
std::int32_t decimal_value_of(std::basic_string_view<Char> text) {
    constexpr std::int64_t magnitude_limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::size_t i = 0;
    while (i < text.size() && is_white_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > magnitude_limit) magnitude = magnitude_limit;
    }
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(magnitude == magnitude_limit ? magnitude - 1 : magnitude);
}

bool starts_with(const std::wstring& token, const wchar_t* prefix) {
    return token.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

}  // namespace

std::int32_t decimal_value(std::string_view text) { return decimal_value_of(text); }
std::int32_t decimal_value(std::wstring_view text) { return decimal_value_of(text); }

std::vector<std::wstring> split_command_line(const std::wstring& command_line) {
    std::vector<std::wstring> tokens;
    std::size_t start = 0;
    while (start < command_line.size()) {
        if (command_line[start] == L' ') {
            ++start;
            continue;
        }
        std::size_t end = command_line.find(L' ', start);
        if (end == std::wstring::npos) end = command_line.size();
        tokens.push_back(command_line.substr(start, end - start));
        start = end;
    }
    return tokens;
}

bool parse_explicit_launch_options(const std::wstring& command_line, int& bits,
                                   version_code& installed_version, bool& p_flag,
                                   bool& silent) {
    p_flag = false;
    silent = false;
    const std::vector<std::wstring> tokens = split_command_line(command_line);
    if (tokens.empty()) return false;

    int width = 0;
    version_code version = 0;
    for (const std::wstring& token : tokens) {
        if (token == L"-p") {
            p_flag = true;
        } else if (token == L"-s") {
            silent = true;
        } else if (starts_with(token, L"-f")) {
            width = decimal_value(std::wstring_view(token).substr(2));
        } else if (starts_with(token, L"-v")) {
            version = decimal_value(std::wstring_view(token).substr(2));
        }
    }
    if (width != 32 && width != 64) return false;
    if (version < 100 || version > 900) return false;
    bits = width;
    installed_version = version;
    return true;
}

int bits_for_system(bool under_wow64) { return under_wow64 ? 64 : 32; }
