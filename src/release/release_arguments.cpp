#include "release/release_arguments.h"

#include "formats/subject_name.h"

namespace {

bool starts_with_ignoring_case(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

std::string ascii(std::wstring_view text) {
    std::string narrow;
    for (const wchar_t c : text) narrow.push_back(c > 0 && c < 0x7F ? static_cast<char>(c) : '?');
    return narrow;
}

}  // namespace

bool is_address(std::wstring_view source) {
    return starts_with_ignoring_case(source, L"https://") || starts_with_ignoring_case(source, L"http://");
}

bool is_release_folder_address(std::wstring_view address) {
    constexpr std::wstring_view scheme = L"https://";
    constexpr std::wstring_view folder = L"/master/release/";
    if (address.substr(0, scheme.size()) != scheme) return false;
    for (const wchar_t c : address)
        if (c <= L' ' || c >= 0x7F || c == L'"' || c == L'\\') return false;
    const std::wstring_view rest = address.substr(scheme.size());
    const std::size_t host_end = rest.find(L'/');
    if (host_end == 0 || host_end == std::wstring_view::npos) return false;
    const std::wstring_view path = rest.substr(host_end);
    return path.size() >= folder.size() && path.substr(path.size() - folder.size()) == folder;
}

bool parse_release_arguments(const std::vector<std::wstring>& arguments, release_arguments_t& parsed,
                             std::string& problem) {
    parsed = release_arguments_t{};
    if (arguments.empty() || arguments[0] != L"check") {
        problem = "the first word must be \"check\"";
        return false;
    }
    bool has_source = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& word = arguments[i];
        if (word == L"--previous" || word == L"--publisher" || word == L"--against") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                problem = ascii(word) + " needs a value";
                return false;
            }
            const std::wstring& value = arguments[++i];
            if (word == L"--previous") {
                parsed.previous.push_back(value);
            } else if ((word == L"--publisher" ? parsed.publisher : parsed.against).empty()) {
                (word == L"--publisher" ? parsed.publisher : parsed.against) = value;
            } else {
                problem = ascii(word) + " is given twice";
                return false;
            }
        } else if (word.size() >= 2 && word[0] == L'-' && word[1] == L'-') {
            problem = "unknown option " + ascii(word);
            return false;
        } else if (word.empty()) {
            problem = "an empty word cannot name a release folder";
            return false;
        } else if (has_source) {
            problem = "only one release folder or address can be checked at a time";
            return false;
        } else {
            parsed.source = word;
            has_source = true;
        }
    }
    if (is_address(parsed.source) && !is_release_folder_address(parsed.source)) {
        problem = ascii(parsed.source) +
                  " is not a release folder's address: it must start with https:// and end with /master/release/";
        return false;
    }
    if (!parsed.against.empty() && has_source && !is_address(parsed.source)) {
        problem = "--against compares what a host serves: the source must be the release folder's address";
        return false;
    }
    // An updater built with such a publisher would accept no build at all.
    subject_name_t publisher;
    if (!parsed.publisher.empty() && !parse_subject_text(parsed.publisher, publisher)) {
        problem = "--publisher " + ascii(parsed.publisher) +
                  " is not a subject as Windows writes a signer, such as \"CN=Name, O=Organisation, C=VN\"";
        return false;
    }
    return true;
}
