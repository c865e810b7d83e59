#include "net/widen_string.h"

std::wstring widen_string(const std::string& bytes) {
    std::wstring wide;
    wide.reserve(bytes.size());
    for (const char byte : bytes) {
        // Sign extension is the rule here, not a slip.
        const auto sign_extended = static_cast<short>(static_cast<signed char>(byte));  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned short>(sign_extended)));
    }
    return wide;
}
