#pragma once

// PeakFollower: per-slot meter ballistics.
//
// mHeld is the largest input since the last reset; mFollower jumps to any higher input and otherwise
// falls by a factor of 10 (20 dB) every 0.5 s. Inputs are magnitudes (>= 0); both results are linear
// like the input. The EBU engine feeds per-sample true peaks, the RMS engine sample magnitudes.
//
// Threads: audio thread under the plug-in mutex (or during construction). Process allocates nothing.

class PeakFollower {
  public:
    // Held value and follower 0; decay factor 10^(1 / (0.5 * fs)).
    void Init(double sampleRate);

    void Reset() {
        mHeld = 0.0;
        mFollower = 0.0;
    }

    void Process(double x) {
        if (x > mHeld) mHeld = x;
        // An input equal to the follower is not higher: the follower falls.
        if (x > mFollower)
            mFollower = x;
        else
            mFollower = mFollower / mDecay;
    }

    double mHeld = 0.0;      // linear, largest input since reset
    double mFollower = 0.0;  // linear, decaying peak
    double mDecay = 1.0;     // per-sample divisor, > 1 for any positive rate
};
