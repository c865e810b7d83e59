#include "ui/bar_geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

TEST(BarFill, IsTheBarsShareOfTheBytesTruncated) {
    EXPECT_EQ(bar_fill_width(300, 50, 200), 75);
    EXPECT_EQ(bar_fill_width(300, 1, 1000), 0);
    EXPECT_EQ(bar_fill_width(300, 199, 200), 298);
    EXPECT_EQ(bar_fill_width(0, 50, 200), 0);
}

TEST(BarFill, TheProductIsTakenExactlyBeyond32Bits) {
    // 346 × 60,000,000 wraps in 32 bits; the bar must still show 60 %.
    EXPECT_EQ(bar_fill_width(346, 60'000'000, 100'000'000), 207);
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(bar_fill_width(4000, most - 1, most), 3999);
    EXPECT_EQ(bar_fill_width(4000, most / 2, most), 1999);
}

TEST(BarFill, MoreThanTheTotalShowsAFullBar) {
    EXPECT_EQ(bar_fill_width(300, 200, 200), 300);
    EXPECT_EQ(bar_fill_width(300, 201, 200), 300);
    EXPECT_EQ(bar_fill_width(300, std::numeric_limits<std::int32_t>::max(), 1), 300);
}

TEST(BarFill, NothingUntilTotalAndCurrentArePositive) {
    EXPECT_EQ(bar_fill_width(300, 50, 0), 0);
    EXPECT_EQ(bar_fill_width(300, 50, -1), 0);
    EXPECT_EQ(bar_fill_width(300, 0, 200), 0);
    EXPECT_EQ(bar_fill_width(300, -1, 200), 0);  // the dialog's state before the first report
    EXPECT_EQ(bar_fill_width(300, -1, 0), 0);
    EXPECT_EQ(bar_fill_width(300, std::numeric_limits<std::int32_t>::min(), -1), 0);
}

}  // namespace
