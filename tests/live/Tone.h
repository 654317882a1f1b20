// The test tone, sample by sample: the same samples whether a JACK client plays it or a file holds it.
#pragma once

#include <cmath>
#include <cstdint>

class Tone {
  public:
    Tone() = default;
    // A 997 Hz sine of peak `peakDbfs`; with `wobbleHz` its level swings down by about 20 dB and back
    // that many times a second.
    Tone(double peakDbfs, double wobbleHz, int sampleRate)
        : mAmplitude(std::pow(10.0, peakDbfs / 20.0)), mWobbleHz(wobbleHz), mRate(sampleRate) {}

    float next() {
        const double t = static_cast<double>(mFrame++) / mRate;
        const double gain = mWobbleHz > 0.0 ? 0.55 + 0.45 * std::sin(2.0 * M_PI * mWobbleHz * t) : 1.0;
        return static_cast<float>(mAmplitude * gain * std::sin(2.0 * M_PI * 997.0 * t));
    }

  private:
    double mAmplitude = 0.0;
    double mWobbleHz = 0.0;
    int mRate = 48000;
    std::int64_t mFrame = 0;
};
