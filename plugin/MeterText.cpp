#include "plugin/MeterText.h"

#include <cstdio>

void FormatMeterValue(char* out, std::size_t size, double v, bool leadingSpace) {
    if (!out || size == 0) return;
    if (!(v > -144.0)) {
        std::snprintf(out, size, "%s", kSilentText);
        return;
    }
    const int chars = leadingSpace ? kPeakValueChars : kReadoutValueChars;
    char text[kMeterTextSize];
    int n = std::snprintf(text, sizeof text, "%.1lf", v);
    if (n < 0 || n > chars) n = std::snprintf(text, sizeof text, "%.0lf", v);
    if (n < 0 || n > chars) {
        // Only ever above the range: the floor of -144.0 always fits. ">" and as many nines as fit.
        text[0] = '>';
        for (int i = 1; i < chars; ++i) text[i] = '9';
        text[chars] = '\0';
    }
    std::snprintf(out, size, leadingSpace ? " %s" : "%s", text);
}
