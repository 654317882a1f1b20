#include "plugin/MeterText.h"

#include <cstdio>

void FormatMeterValue(char* out, std::size_t size, double v, bool leadingSpace) {
    if (!out || size == 0) return;
    if (!(v > -144.0))
        std::snprintf(out, size, "%s", kSilentText);
    else
        std::snprintf(out, size, leadingSpace ? " %.1lf" : "%.1lf", v);
}
