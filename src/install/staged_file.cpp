#include "install/staged_file.h"

#include "common/decimal_text.h"

namespace {

const wchar_t staged_suffix[] = L".tmp";
constexpr std::size_t staged_suffix_length = 4;
constexpr std::size_t longest_process_id = 10;  // 4294967295

}  // namespace

std::wstring staged_file_name(const std::wstring& target_name, std::uint32_t process_id) {
    return target_name + L"." + decimal_text(process_id) + staged_suffix;
}

bool is_staged_file_name(const std::wstring& name, const std::wstring& target_name) {
    const std::size_t prefix = target_name.size() + 1;
    if (name.size() <= prefix + staged_suffix_length) return false;
    if (name.compare(0, target_name.size(), target_name) != 0 || name[target_name.size()] != L'.') return false;
    if (name.compare(name.size() - staged_suffix_length, staged_suffix_length, staged_suffix) != 0) return false;
    const std::size_t digits = name.size() - prefix - staged_suffix_length;
    if (digits > longest_process_id) return false;
    for (std::size_t i = prefix; i < prefix + digits; ++i)
        if (name[i] < L'0' || name[i] > L'9') return false;
    return true;
}
