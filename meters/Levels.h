#pragma once

// Conversions from the engines' linear results to the numbers people read.
//
// Units: a magnitude (sample peak, true peak, square root of a mean square) becomes dBFS; a mean
// square becomes LUFS. Both give -144.0 for a value too small to measure. The constants are kept
// exactly as written (20 / ln 10 and 10 / ln 10 to the digits shown) so results match to the last
// bit. Any thread; no allocation. Not for the per-sample path: each call takes a logarithm.

#include <cmath>

namespace meters {

// Level in dB of a magnitude: ln|x| * 20 / ln 10 above 6.309e-08, else -144.0 (silent).
inline double LevelDb(double x) {
    const double a = std::fabs(x);
    return a > 6.309e-08 ? std::log(a) * 8.685889638065037 : -144.0;
}

// Loudness in LUFS of a mean square m: 10 log10 m - 0.691 above 4.667e-15, else -144.0.
// A mean square is never negative; a negative one (rounding debris) or NaN gives -144.0 rather
// than the NaN its logarithm would be, so it can never pass a loudness gate.
inline double LoudnessLufs(double m) {
    return m > 4.667e-15 ? std::log(m) * 4.342944819 - 0.691 : -144.0;
}

}  // namespace meters
