#pragma once

#include <cmath>

// Conversions applied wherever a measurement becomes a number for the user or the host.
// The factors are written out (not computed from log10) so that every build produces the same
// digits; the callers rely on the exact operation order, so do not fold these into other formulas.

// The value of every silent level, in dBFS or LUFS.
constexpr double kSilentLevelDb = -144.0;
// Integrated loudness before the first gated block, in LUFS.
constexpr double kUngatedIntegratedLufs = -141.0;

// 20 / ln 10: dB per neper of magnitude.
constexpr double kDbPerLnMagnitude = 8.685889638065037;
// 10 / ln 10 rounded to ten significant digits: dB per neper of power.
constexpr double kDbPerLnPower = 4.342944819;
// BS.1770 loudness offset, in LU.
constexpr double kLoudnessOffsetLu = 0.691;
// Magnitudes at or below this (about -144 dB) count as silent.
constexpr double kSilentMagnitude = 6.309e-08;
// Mean squares at or below this count as silent loudness.
constexpr double kSilentMeanSquare = 4.667e-15;

// Level in dBFS of a linear magnitude x: ln|x| * 20/ln10, or kSilentLevelDb when |x| <= 6.309e-08.
// NaN counts as silent.
inline double LevelDb(double x) {
    const double a = std::fabs(x);
    if (a > kSilentMagnitude) return std::log(a) * kDbPerLnMagnitude;
    return kSilentLevelDb;
}

// Loudness in LUFS of a mean square m: ln m * 10/ln10 - 0.691, or kSilentLevelDb when m <= 4.667e-15.
// A mean square is never negative; a negative or NaN input (rounding debris, corrupt data) counts
// as silent rather than producing NaN.
inline double LoudnessLufs(double m) {
    if (m > kSilentMeanSquare) return std::log(m) * kDbPerLnPower - kLoudnessOffsetLu;
    return kSilentLevelDb;
}

// Display rounding to 0.1 with halves going up: floor(v * 10 + 0.5) / 10.
inline double RoundToTenth(double v) { return std::floor(v * 10.0 + 0.5) / 10.0; }

// Level of a magnitude rounded to 0.1 dB; silence gives exactly -144.0.
inline double RoundedLevelDb(double x) { return RoundToTenth(LevelDb(x)); }

// Loudness of a mean square rounded to 0.1 LU; silence gives exactly -144.0.
inline double RoundedLoudnessLufs(double m) { return RoundToTenth(LoudnessLufs(m)); }
