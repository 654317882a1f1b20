#pragma once

#include <cmath>

#include "meters/Levels.h"

// Conversions applied wherever a measurement becomes a number for the user or the host.
// The callers rely on the exact operation order, so do not fold these into other formulas.

// The value of every silent level, in dBFS or LUFS.
constexpr double kSilentLevelDb = -144.0;
// Integrated loudness before the first gated block, in LUFS.
constexpr double kUngatedIntegratedLufs = -141.0;

// The conversions themselves are the measuring engines' own, so the plug-in publishes exactly
// the numbers the engines gate on: level of a magnitude (dBFS) and loudness of a mean square
// (LUFS), -144.0 when silent, NaN and negative mean squares counting as silent.
using meters::LevelDb;
using meters::LoudnessLufs;

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
