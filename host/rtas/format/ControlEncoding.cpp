#include "host/rtas/format/ControlEncoding.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kControlMin = -2147483648.0;
constexpr double kControlSpan = 4294967295.0;  // 2147483647 - (-2147483648)

int32_t ClampToControl(double v) {
    if (!(v >= kControlMin)) return std::numeric_limits<int32_t>::min();
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t DiscreteToControl(int value, int min, int max) {
    if (max <= min) return std::numeric_limits<int32_t>::min();
    if (value < min) value = min;
    if (value > max) value = max;
    const double t = (static_cast<double>(value) - static_cast<double>(min)) /
                     (static_cast<double>(max) - static_cast<double>(min));
    return ClampToControl(std::trunc(t * kControlSpan + kControlMin));
}

int ControlToDiscrete(int32_t control, int min, int max) {
    if (max <= min) return min;
    const double v = std::floor(static_cast<double>(min) +
                                (static_cast<double>(control) + 2147483648.0) / kControlSpan *
                                    (static_cast<double>(max) - static_cast<double>(min)) +
                                0.5);
    if (v <= static_cast<double>(min)) return min;
    if (v >= static_cast<double>(max)) return max;
    return static_cast<int>(v);
}

int32_t ContinuousToControl(double value, double min, double max) {
    if (std::isnan(value) || min == max) return std::numeric_limits<int32_t>::min();
    const double lo = min < max ? min : max;
    const double hi = min < max ? max : min;
    if (value < lo) value = lo;
    if (value > hi) value = hi;
    const double t = (value - min) / (max - min);
    return ClampToControl(std::floor(kControlMin + t * kControlSpan + 0.5));
}

double ControlToContinuous(int32_t control, double min, double max) {
    return min + (static_cast<double>(control) + 2147483648.0) / kControlSpan * (max - min);
}

int32_t LinearStepCount(double min, double max, double step) {
    const double kMax = 2147483647.0;
    if (!(step > 0.0) || !std::isfinite(step)) return std::numeric_limits<int32_t>::max();
    const double n = std::trunc(std::fabs(max - min) / step + 1.0);
    if (!(n >= 1.0)) return 1;
    if (n >= kMax) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(n);
}
