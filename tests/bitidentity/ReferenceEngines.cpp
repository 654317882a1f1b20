#include "tests/bitidentity/ReferenceEngines.h"

#include <cmath>

#include "meters/ISPD_ITU.h"
#include "meters/KFilter.h"

namespace reference {

void TruePeak::Init(double sampleRate) {
    mTable = ISPD_ITU::kTableA;
    mNormaliser = ISPD_ITU::kNormaliserA;
    const int r = static_cast<int>(sampleRate);
    if (r % 44100 != 0 && r % 48000 == 0) {
        mTable = ISPD_ITU::kTableB;
        mNormaliser = ISPD_ITU::kNormaliserB;
    }
    Reset();
}

void TruePeak::Reset() {
    for (double& h : mHistory) h = 0.0;
    mWriteIndex = 0;
    mPeak = 0.0;
    mTruePeakMax = 0.0;
}

void TruePeak::ProcessSample(double x) {
    const double scaled = (x * 4.0) / mNormaliser;
    mWriteIndex = mWriteIndex == 0 ? 12 : mWriteIndex - 1;
    mHistory[mWriteIndex] = scaled;
    mHistory[mWriteIndex + 13] = scaled;
    const double* s = mHistory + mWriteIndex;
    const double* t = mTable;
    double a[4] = {0.0, 0.0, 0.0, 0.0};
    for (int p = 0; p < 4; ++p)
        for (int m = 0; 48 - p - 4 * m >= 0; ++m) a[p] += t[48 - p - 4 * m] * s[m];
    mPeak = 0.0;
    for (double v : a)
        if (std::fabs(v) > mPeak) mPeak = std::fabs(v);
    if (mPeak > mTruePeakMax) mTruePeakMax = mPeak;
}

void Follower::Init(double sampleRate) {
    mDecay = std::pow(10.0, 1.0 / (0.5 * sampleRate));
}

void Follower::Process(double x) {
    if (x > mHeld) mHeld = x;
    if (x > mFollower)
        mFollower = x;
    else
        mFollower = mFollower / mDecay;
}

void Biquad::Init(bool preFilter, double sampleRate) {
    const KFilter::Design& d = preFilter ? KFilter::kPreFilter : KFilter::kRlbFilter;
    const double k = std::tan(d.piF0 / sampleRate);
    const double k2 = k * k;
    const double a0 = k2 + k / d.Q + 1.0;
    mA1 = 2 * (k2 - 1.0) / a0;
    mA2 = (k2 - k / d.Q + 1.0) / a0;
    mB0 = (d.c * k2 + d.Vb * k / d.Q + d.Vh) / a0;
    mB1 = 2 * (d.c * k2 - d.Vh) / a0;
    mB2 = (d.c * k2 - d.Vb * k / d.Q + d.Vh) / a0;
}

double Biquad::Process(double x) {
    mX0 = x;
    mY0 = (mB0 * mX0 + mB1 * mX1 + mB2 * mX2 - mA1 * mY1 - mA2 * mY2) / mA0n;
    mX2 = mX1;
    mX1 = mX0;
    mY2 = mY1;
    mY1 = mY0;
    return mY0;
}

void Window::Init(int windowLength, double overlap) {
    mWindowLength = windowLength;
    mOverlap = overlap;
    mRing.reset(new double[windowLength]());
}

int Window::Process(double y1, double y2, double y3, double y4, double y5, double y6, int config) {
    mReady = 0;
    const double w4 = config == 3 ? 0.0 : (config == 2 ? 1.41 : 1.0);
    const double w5 = (config == 2 || config == 3) ? 1.41 : 1.0;
    const double w6 = config == 3 ? 1.41 : (config == 2 ? 0.0 : 1.0);
    const double p = y1 * y1 + y2 * y2 + y3 * y3 + w4 * y4 * y4 + w5 * y5 * y5 + w6 * y6 * y6;
    mWindowSum += p;
    mOutgoing = mRing[mWriteIndex];
    mRing[mWriteIndex] = p;
    mWriteIndex += 1;
    mHopCounter += 1;
    if (mWriteIndex == mWindowLength) {
        mWriteIndex = 0;
        mFull = 1;
    } else if (mFull != 1) {
        return 0;
    }
    const double d = mWindowSum - mOutgoing;
    mWindowSum = d > 0.0 ? d : 0.0;
    if (mWindowSum > mMaxSum) {
        mMaxSum = mWindowSum;
        mMaxResult = mWindowSum / mWindowLength;
    }
    if (static_cast<double>(mHopCounter) > (1.0 - mOverlap) * mWindowLength) {
        mHopCounter = 0;
        mResult = mWindowSum / mWindowLength;
        mReady = 1;
        return 1;
    }
    return 0;
}

void EBU::Init(double sampleRate) {
    for (int k = 0; k < 6; ++k) {
        mPreFilter[k].Init(true, sampleRate);
        mRlbFilter[k].Init(false, sampleRate);
        mTruePeak[k].Init(sampleRate);
        mFollower[k].Init(sampleRate);
    }
    mMomentary.Init(static_cast<int>(0.4 * sampleRate), 0.75);
    mShortTerm.Init(static_cast<int>(3.0 * sampleRate), 2.0 / 3.0);
    mIntegrator.Init(RMSInt::kCapacity);
    mLra.Init(3600);
}

void EBU::Process_M(double s1, double s2, double s3, double s4, double s5, double s6, int config) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    const int slots = config <= 0 ? 2 : config < 2 ? 4 : config < 3 ? 5 : 6;
    for (int k = 0; k < slots; ++k) {
        mTruePeak[k].ProcessSample(s[k]);
        mFollower[k].Process(mTruePeak[k].mPeak);
    }
}

void EBU::Process(double s1, double s2, double s3, double s4, double s5, double s6, int config,
                  int integrate) {
    if (config == 0) s3 = s4 = 0.0;
    if (config == 0 || config == 1) s5 = 0.0;
    if (config == 0 || config == 1 || config == 2) s6 = 0.0;
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    double y[6];
    for (int k = 0; k < 6; ++k) y[k] = mRlbFilter[k].Process(mPreFilter[k].Process(s[k]));
    mMomentary.Process(y[0], y[1], y[2], y[3], y[4], y[5], config);
    mShortTerm.Process(y[0], y[1], y[2], y[3], y[4], y[5], config);
    if (mMomentary.mReady == 1 && integrate != 0) mIntegrator.Process(mMomentary.mResult);
    if (mShortTerm.mReady == 1 && integrate != 0) mLra.Process(mShortTerm.mResult);
}

namespace {
unsigned Selected(int config) {
    constexpr unsigned kMask[5] = {0x03u, 0x01u, 0x02u, 0x0Fu, 0x3Fu};
    return static_cast<unsigned>(config) < 5u ? kMask[config] : 0u;
}
}  // namespace

void RMS::Init(double windowMs, double sampleRate) {
    mFs = sampleRate;
    mRing.reset(new double[static_cast<int>((3000.0 * 0.001) * sampleRate)]());
    mWindowLength = static_cast<int>((windowMs * 0.001) * sampleRate);
    for (int k = 0; k < 6; ++k) {
        mTruePeak[k].Init(sampleRate);
        mFollower[k].Init(sampleRate);
    }
}

void RMS::Process_M(double s1, double s2, double s3, double s4, double s5, double s6, int config) {
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    for (int k = 0; k < 6; ++k)
        if (Selected(config) & (1u << k)) mFollower[k].Process(std::fabs(s[k]));
}

int RMS::Process(double s1, double s2, double s3, double s4, double s5, double s6, double enable,
                 int config) {
    const unsigned sel = Selected(config);
    const double s[6] = {s1, s2, s3, s4, s5, s6};
    if (enable != 0.0)
        for (int k = 0; k < 6; ++k)
            if (sel & (1u << k)) mTruePeak[k].ProcessSample(s[k]);
    double peak = 0.0, p = 0.0;
    for (int k = 0; k < 6; ++k) {
        if (sel & (1u << k)) {
            if (std::fabs(s[k]) > peak) peak = std::fabs(s[k]);
            p = p + s[k] * s[k];
        }
    }
    mSamplePeak = peak;
    if (mSamplePeak > mPeakMax) mPeakMax = mSamplePeak;
    mWindowSum += p;
    mOutgoing = mRing[mWriteIndex];
    mRing[mWriteIndex] = p;
    mIntegratedSum += p;
    mIntegratedCount += 1;
    mWriteIndex += 1;
    mHopCounter += 1;
    mReady = 0;
    if (mWriteIndex >= mWindowLength) {
        mWriteIndex = 0;
        mFull = 1;
    } else if (mFull != 1) {
        return 0;
    }
    const double d = mWindowSum - mOutgoing;
    mWindowSum = d > 0.0 ? d : 0.0;
    if (mWindowSum > mMaxWindowSum) {
        mMaxWindowSum = mWindowSum;
        mMaxMeanSquare = mWindowSum / mWindowLength;
    }
    if (static_cast<double>(mHopCounter) > (1.0 - mOverlap) * mWindowLength) {
        mHopCounter = 0;
        mMeanSquare = mWindowSum / mWindowLength;
        mReady = 1;
    }
    mIntegratedMeanSquare = mIntegratedSum / static_cast<double>(mIntegratedCount);
    return mReady;
}

}  // namespace reference
