#pragma once

// Generated test programmes for the bit-identity tests: deterministic functions of (channel, frame),
// so a case can be replayed to any engine in any block pattern.

#include <cmath>
#include <cstdint>
#include <limits>

namespace bitidentity {

enum class Programme { kNoise, kSweep, kSilence, kClicks, kFullScale };

inline const char* Name(Programme p) {
    switch (p) {
        case Programme::kNoise:
            return "noise";
        case Programme::kSweep:
            return "sweep";
        case Programme::kSilence:
            return "silence";
        case Programme::kClicks:
            return "clicks";
        case Programme::kFullScale:
            return "fullscale";
    }
    return "?";
}

// Uniform in [-1, 1) from a hash of (channel, frame).
inline double Hashed(int channel, long i) {
    std::uint64_t z = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ULL +
                      static_cast<std::uint64_t>(channel + 1) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

// Sample i of `channel` at `rate`. Noise swings in level (so gates and the loudness range have work);
// the sweep runs 20 Hz to near Nyquist; clicks are isolated full-scale impulses of both signs with a
// few non-finite samples among them (what a host may hand over); full scale is a square wave at the
// rails and a sine whose inter-sample peaks exceed them; after 60 % of the programme every
// programme but silence falls silent, so the filter tails decay.
inline double Sample(Programme p, int channel, long i, double rate, long length) {
    const double t = static_cast<double>(i) / rate;
    if (p == Programme::kSilence || i >= length * 6 / 10) return 0.0;
    switch (p) {
        case Programme::kNoise:
            return (0.05 + 0.45 * (0.5 + 0.5 * std::sin(2.0 * M_PI * 1.7 * t))) * Hashed(channel, i);
        case Programme::kSweep: {
            const double f0 = 20.0, f1 = 0.45 * rate, duration = static_cast<double>(length) / rate;
            const double k = std::log(f1 / f0) / duration;
            return 0.8 * std::sin(2.0 * M_PI * f0 * (std::exp(k * t) - 1.0) / k + channel);
        }
        case Programme::kClicks: {
            const long period = 997 + 131 * channel;
            if (i % period == 0) return (i / period) % 2 == 0 ? 1.0 : -1.0;
            if (i % (period * 7) == 3) return std::numeric_limits<double>::quiet_NaN();
            if (i % (period * 11) == 5)
                return (channel % 2 ? -1 : 1) * std::numeric_limits<double>::infinity();
            return 0.0;
        }
        case Programme::kFullScale:
            if (channel % 2 == 0) return (i / 37) % 2 == 0 ? 1.0 : -1.0;
            return std::sin(2.0 * M_PI * (rate / 4.0) * t + M_PI / 4.0);
        case Programme::kSilence:
            break;
    }
    return 0.0;
}

}  // namespace bitidentity
