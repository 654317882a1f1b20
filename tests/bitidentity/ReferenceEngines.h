#pragma once

// The two measuring engines in their plain per-sample scalar form, one slot and one sample at a time,
// exactly as the product computed them before the engines learnt to work on blocks of samples with
// vector instructions. The bit-identity tests run a programme through both and require every
// measurement to agree to the last bit, so this code must never be "improved": it is the definition
// the faster engines are held to. The integrator and the loudness range are the product's own classes
// (block-rate code that the faster engines reuse unchanged).
//
// Test code only. Single thread.

#include <cstdint>
#include <memory>

#include "meters/LRA.h"
#include "meters/RMSInt.h"

namespace reference {

struct TruePeak {
    void Init(double sampleRate);
    void Reset();
    void ProcessSample(double x);

    const double* mTable = nullptr;
    double mNormaliser = 0.0;
    double mHistory[26] = {};
    int mWriteIndex = 0;
    double mPeak = 0.0;
    double mTruePeakMax = 0.0;
};

struct Follower {
    void Init(double sampleRate);
    void Process(double x);
    double mHeld = 0.0, mFollower = 0.0, mDecay = 1.0;
};

struct Biquad {
    void Init(bool preFilter, double sampleRate);
    double Process(double x);
    double mX1 = 0.0, mX2 = 0.0, mX0 = 0.0, mY1 = 0.0, mY2 = 0.0, mY0 = 0.0;
    double mA0n = 1.0, mA1 = 0.0, mA2 = 0.0, mB0 = 0.0, mB1 = 0.0, mB2 = 0.0;
};

struct Window {
    void Init(int windowLength, double overlap);
    int Process(double y1, double y2, double y3, double y4, double y5, double y6, int config);

    std::unique_ptr<double[]> mRing;
    int mWindowLength = 0;
    double mOverlap = 0.0;
    int mWriteIndex = 0;
    double mWindowSum = 0.0, mOutgoing = 0.0, mResult = 0.0, mMaxResult = 0.0;
    double mMaxSum = 0.0;  // largest window sum at any sample of a full window
    int mFull = 0, mReady = 0, mHopCounter = 0;
};

class EBU {
  public:
    void Init(double sampleRate);
    void Process_M(double s1, double s2, double s3, double s4, double s5, double s6, int config);
    void Process(double s1, double s2, double s3, double s4, double s5, double s6, int config, int integrate);

    TruePeak mTruePeak[6];
    Biquad mPreFilter[6];
    Biquad mRlbFilter[6];
    Window mMomentary;
    Window mShortTerm;
    RMSInt mIntegrator;
    LRA mLra;
    Follower mFollower[6];
};

class RMS {
  public:
    void Init(double windowMs, double sampleRate);
    void Process_M(double s1, double s2, double s3, double s4, double s5, double s6, int config);
    int Process(double s1, double s2, double s3, double s4, double s5, double s6, double enable, int config);

    double mFs = 0.0;
    std::unique_ptr<double[]> mRing;
    int mWindowLength = 0;
    double mOverlap = 0.75;
    int mWriteIndex = 0, mHopCounter = 0, mFull = 0, mReady = 0;
    double mWindowSum = 0.0, mOutgoing = 0.0, mMaxWindowSum = 0.0;
    double mMeanSquare = 0.0, mMaxMeanSquare = 0.0, mIntegratedMeanSquare = 0.0;
    double mSamplePeak = 0.0, mPeakMax = 0.0, mIntegratedSum = 0.0;
    std::int64_t mIntegratedCount = 0;
    TruePeak mTruePeak[6];
    Follower mFollower[6];
};

}  // namespace reference
