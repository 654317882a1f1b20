#pragma once

// Safe conversion of a duration in samples (a double such as 0.4 * fs) to an int count, and the
// checks on the other set-up numbers (sample rate, overlap) that the sample counts depend on.
//
// Truncates toward zero like a plain cast, but a NaN gives `lo` and values outside [lo, hi] are
// clamped, so a bad sample rate or window can never make a float-to-int conversion undefined or size
// an array below one entry. Any thread; no allocation.

#include <cmath>

namespace meters {

// Largest ring any engine allocates: 2^23 doubles (64 MiB), above 3 s at 2.7 MHz.
constexpr int kMaxRingSamples = 1 << 23;

inline int TruncToCount(double samples, int lo, int hi) {
    if (!(samples >= static_cast<double>(lo))) return lo;  // also catches NaN
    if (samples >= static_cast<double>(hi)) return hi;
    return static_cast<int>(samples);
}

// Lowest sample rate the meters measure at. The K-weighting pre-filter is designed at 1682 Hz with its
// shelf above; below this rate the design lies too near or past the Nyquist frequency and the loudness
// reads far too high (silence shows a loudness of its own).
constexpr double kMinSampleRate = 8000.0;

// A sample rate the engines can work with: NaN, infinities and rates <= 0 become 44100 Hz, the
// rate a plug-in instance starts with before the host tells it the real one.
inline double UsableSampleRate(double sampleRate) {
    return (std::isfinite(sampleRate) && sampleRate > 0.0) ? sampleRate : 44100.0;
}

// A window overlap the hop logic can work with: [0, 1], NaN as 0. Outside that range the hop would
// never end and its sample counter would overflow.
inline double UsableOverlap(double overlap) {
    if (!(overlap > 0.0)) return 0.0;
    return overlap < 1.0 ? overlap : 1.0;
}

}  // namespace meters
