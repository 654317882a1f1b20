#pragma once

// Small conversions shared by the driver's two refresh points. Any thread; no allocation.

#include "meters/ISPD_ITU.h"

namespace quenlix {

// Clamps v to [lo, hi]; a NaN gives lo.
inline double ClampTo(double v, double lo, double hi) {
    if (!(v > lo)) return lo;
    if (v >= hi) return hi;
    return v;
}

// Bar position (0 .. 1) of a level in dB already clamped to [-60, 12].
inline double LevelBar(double levelDb) {
    return (levelDb + 60.0) / 72.0;
}

// The largest of six slots' true-peak maxima, or 0.0 (maxima are >= 0; a NaN never wins).
inline double LargestTruePeak(const ISPD_ITU (&detectors)[6]) {
    double m = 0.0;
    for (const ISPD_ITU& d : detectors)
        if (d.mTruePeakMax > m) m = d.mTruePeakMax;
    return m;
}

}  // namespace quenlix
