#pragma once
// The progress bar's arithmetic. No Win32 here, so that this can be built and
// fuzzed natively.
#include <cstdint>

// Pixels of bar_width to fill for current bytes of total: bar_width × current
// ÷ total, taken exactly (the product outgrows 32 bits at a few megabytes)
// and truncated; nothing until both are positive. More than the bar shows
// a full bar.
int bar_fill_width(int bar_width, std::int32_t current, std::int32_t total);
