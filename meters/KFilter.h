#pragma once

// KFilter: one second-order stage of the BS.1770 K-weighting (direct form I).
//
// Two designs: the pre-filter (high shelf, about +4 dB above 2 kHz) and the RLB filter (high-pass at
// about 38 Hz). The coefficients follow from the design and the sample rate by the bilinear design
// below, with pi * f0 given as a ready product so every rate reproduces the same bits.
//
// A plain value type with no allocation. Threads: audio thread under the plug-in mutex (or during
// construction). Process allocates nothing.

#include <cmath>

class KFilter {
  public:
    struct Design {
        double piF0;  // pi * f0, formed once
        double f0;    // Hz
        double Vb;    // band gain factor
        double c;     // gain of the K^2 term: 1.0 shelf, 0.0 high-pass
        double Vh;    // high-frequency gain factor
        double Q;
    };
    static const Design kPreFilter;
    static const Design kRlbFilter;

    // Sets the coefficients for the design at sampleRate (Hz) and clears the history.
    void Init(const Design& design, double sampleRate);

    // Clears the six history values; keeps the coefficients.
    void Reset() {
        mX0 = mX1 = mX2 = 0.0;
        mY0 = mY1 = mY2 = 0.0;
    }

    // Whether the six history values are all finite: a filter fed a non-finite sample stays
    // non-finite until its history is cleared.
    bool HistoryFinite() const {
        return std::isfinite(mX0) && std::isfinite(mX1) && std::isfinite(mX2) && std::isfinite(mY0) &&
               std::isfinite(mY1) && std::isfinite(mY2);
    }

    // Per-sample step; returns the filtered sample.
    double Process(double x) {
        mX0 = x;
        mY0 = (mB0 * mX0 + mB1 * mX1 + mB2 * mX2 - mA1 * mY1 - mA2 * mY2) / mA0n;
        mX2 = mX1;
        mX1 = mX0;
        mY2 = mY1;
        mY1 = mY0;
        mOut = mY0;
        return mY0;
    }

    // History.
    double mX1 = 0.0, mX2 = 0.0, mX0 = 0.0;
    double mY1 = 0.0, mY2 = 0.0, mY0 = 0.0;
    // Design and derived values.
    double mFs = 0.0, mF0 = 0.0, mVb = 0.0, mC = 0.0, mVh = 0.0, mQ = 1.0;
    double mK = 0.0, mK2 = 0.0, mA0 = 1.0;
    // Normalised coefficients; a freshly built filter passes nothing until Init.
    double mA0n = 1.0, mA1 = 0.0, mA2 = 0.0;
    double mB0 = 0.0, mB1 = 0.0, mB2 = 0.0;
    double mOut = 0.0;  // copy of the latest output
};
