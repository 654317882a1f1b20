#pragma once

// Conversions from linear measurements to the numbers people and hosts read.
//
// Units: a magnitude (sample peak, true peak, square root of a mean square) becomes dBFS; a mean
// square becomes LUFS. Both give kSilentLevelDb for a value too small to measure. The constants are
// kept exactly as written (20 / ln 10 and 10 / ln 10 to the digits shown) and every conversion keeps
// its operation order, so the engines' gates and the published numbers agree to the last bit.
// Any thread; no allocation. Not for the per-sample path: each conversion takes a logarithm.

#include <cmath>

// The value of every silent level, in dBFS or LUFS.
constexpr double kSilentLevelDb = -144.0;
// Integrated loudness before the first gated block, in LUFS.
constexpr double kUngatedIntegratedLufs = -141.0;

// Level in dB of a magnitude: ln|x| * 20 / ln 10 above 6.309e-08, else -144.0 (silent; NaN too).
inline double LevelDb(double x) {
    const double a = std::fabs(x);
    return a > 6.309e-08 ? std::log(a) * 8.685889638065037 : kSilentLevelDb;
}

// Loudness in LUFS of a mean square m: 10 log10 m - 0.691 above 4.667e-15, else -144.0.
// A mean square is never negative; a negative one (rounding debris) or NaN gives -144.0 rather
// than the NaN its logarithm would be, so it can never pass a loudness gate.
inline double LoudnessLufs(double m) {
    return m > 4.667e-15 ? std::log(m) * 4.342944819 - 0.691 : kSilentLevelDb;
}

// Display rounding to 0.1 with halves going up: floor(v * 10 + 0.5) / 10.
inline double RoundToTenth(double v) {
    return std::floor(v * 10.0 + 0.5) / 10.0;
}

// Level of a magnitude rounded to 0.1 dB; silence gives exactly -144.0.
inline double RoundedLevelDb(double x) {
    return RoundToTenth(LevelDb(x));
}

// Loudness of a mean square rounded to 0.1 LU; silence gives exactly -144.0.
inline double RoundedLoudnessLufs(double m) {
    return RoundToTenth(LoudnessLufs(m));
}
