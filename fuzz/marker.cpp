// Received bytes: the missing-file marker test on a chunk, against the
// download's own way of testing (the chunk in a buffer with one zero byte
// after it, compared case-insensitively over at most 14 bytes, stopping at
// the first zero byte), and widen_string on the same bytes.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "net/missing_file_marker.h"
#include "net/widen_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view chunk(reinterpret_cast<const char*>(data), size);

    std::vector<char> buffer(chunk.begin(), chunk.end());
    buffer.push_back('\0');
    const bool expected = strncasecmp(buffer.data(), "404: not found", 14) == 0;
    FUZZ_REQUIRE(begins_with_missing_file_marker(chunk) == expected);

    const std::wstring wide = widen_string(std::string(chunk));
    FUZZ_REQUIRE(wide.size() == size);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned expected_unit = data[i] < 0x80 ? data[i] : 0xFF00u | data[i];
        FUZZ_REQUIRE(static_cast<unsigned>(wide[i]) == expected_unit);
    }
    return 0;
}
