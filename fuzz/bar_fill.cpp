// The progress bar's fill: width, current and total from the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "fuzz_support.h"
#include "ui/bar_geometry.h"

namespace {

std::int32_t take_int32(const std::uint8_t*& data, std::size_t& size) {
    std::uint32_t value = 0;
    const std::size_t n = std::min<std::size_t>(size, sizeof value);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int width = take_int32(data, size);
    const std::int32_t current = take_int32(data, size);
    const std::int32_t total = take_int32(data, size);
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();

    const int fill = bar_fill_width(width, current, total);
    FUZZ_REQUIRE(fill >= 0 && fill <= std::max(width, 0));
    if (width > 0 && current > 0 && total > 0) {
        const __int128 exact = static_cast<__int128>(width) * current / total;
        FUZZ_REQUIRE(fill == std::min<__int128>(exact, width));
        if (current < most) FUZZ_REQUIRE(bar_fill_width(width, current + 1, total) >= fill);
        if (total < most) FUZZ_REQUIRE(bar_fill_width(width, current, total + 1) <= fill);
    } else {
        FUZZ_REQUIRE(fill == 0);
    }
    return 0;
}
