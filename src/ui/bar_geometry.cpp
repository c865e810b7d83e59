#include "ui/bar_geometry.h"

int bar_fill_width(int bar_width, std::int32_t current, std::int32_t total) {
    if (bar_width <= 0 || total <= 0 || current <= 0) return 0;
    if (current >= total) return bar_width;
    return static_cast<int>(std::int64_t{bar_width} * current / total);
}
