#pragma once

// Test signals for the engine tests.

#include <cmath>

namespace testsig {

constexpr double kPi = 3.14159265358979323846;

// Sample n of a sine of amplitude `amp` at `hz`, sampled at `fs`.
inline double Sine(double amp, double hz, double fs, long n) {
    return amp * std::sin(2.0 * kPi * hz * static_cast<double>(n) / fs);
}

// Amplitude of a 997 Hz sine in one slot that reads `lufs` (a full-scale one reads about -3.01).
inline double AmplitudeForLufs(double lufs) {
    return std::pow(10.0, (lufs + 3.0103) / 20.0);
}

}  // namespace testsig
