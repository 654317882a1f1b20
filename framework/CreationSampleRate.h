#pragma once

// The sample rate a host adapter knows before it creates the plug-in. While a ScopedCreationSampleRate
// lives, every plug-in constructed on its thread starts at that rate instead of 44100 Hz, so the
// plug-in sets its engines up once, for the rate it will run at, and not first for one that is
// replaced at once. A rate that is not a positive finite number is ignored (44100 Hz as ever).
// Instantiation thread.
class ScopedCreationSampleRate {
  public:
    explicit ScopedCreationSampleRate(double sampleRate);
    ~ScopedCreationSampleRate();
    ScopedCreationSampleRate(const ScopedCreationSampleRate&) = delete;
    ScopedCreationSampleRate& operator=(const ScopedCreationSampleRate&) = delete;

    // The rate of the innermost live scope on this thread, or 0.0 outside any.
    static double Current();

  private:
    double mOuter;
};
