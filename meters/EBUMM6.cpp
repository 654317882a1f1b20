#include "meters/EBUMM6.h"

#include "meters/SampleCount.h"

bool EBUMM6::Init(double sampleRate) {
    mSampleRate = meters::UsableSampleRate(sampleRate);
    const double fs = mSampleRate;

    for (int k = 0; k < kSlots; ++k) {
        mPreFilter[k].Init(KFilter::kPreFilter, fs);
        mRlbFilter[k].Init(KFilter::kRlbFilter, fs);
    }
    for (ISPD_ITU& d : mTruePeak) d.Init(fs);

    bool ok = mMomentary.Init(meters::TruncToCount(0.4 * fs, 1, meters::kMaxRingSamples), kMomentaryOverlap);
    ok = mShortTerm.Init(meters::TruncToCount(3.0 * fs, 1, meters::kMaxRingSamples), kShortTermOverlap) && ok;
    ok = mIntegrator.Init(RMSInt::kCapacity) && ok;
    ok = mLra.Init(kLraCapacity) && ok;
    for (PeakFollower& f : mFollower) f.Init(fs);
    mReady = ok;

    Reset();
    return ok;
}

void EBUMM6::Reset() {
    for (ISPD_ITU& d : mTruePeak) d.Reset();
    for (int k = 0; k < kSlots; ++k) {
        mPreFilter[k].Reset();
        mRlbFilter[k].Reset();
    }
    for (PeakFollower& f : mFollower) f.Reset();
    mMomentary.Reset();
    mShortTerm.Reset();
    mIntegrator.Reset();
    mLra.Reset();
}

void EBUMM6::Process_M(double s1, double s2, double s3, double s4, double s5, double s6, int config) {
    mTruePeak[0].ProcessSample(s1);
    mFollower[0].Process(mTruePeak[0].mPeak);
    mTruePeak[1].ProcessSample(s2);
    mFollower[1].Process(mTruePeak[1].mPeak);
    if (config <= 0) return;
    mTruePeak[2].ProcessSample(s3);
    mFollower[2].Process(mTruePeak[2].mPeak);
    mTruePeak[3].ProcessSample(s4);
    mFollower[3].Process(mTruePeak[3].mPeak);
    if (config < 2) return;
    mTruePeak[4].ProcessSample(s5);
    mFollower[4].Process(mTruePeak[4].mPeak);
    if (config < 3) return;
    mTruePeak[5].ProcessSample(s6);
    mFollower[5].Process(mTruePeak[5].mPeak);
}

void EBUMM6::Process(double s1, double s2, double s3, double s4, double s5, double s6, int config,
                     int integrate) {
    if (!mReady) return;

    if (config == 0) {
        s3 = 0.0;
        s4 = 0.0;
    }
    if (config == 0 || config == 1) s5 = 0.0;
    if (config == 0 || config == 1 || config == 2) s6 = 0.0;

    const double y1 = mRlbFilter[0].Process(mPreFilter[0].Process(s1));
    const double y2 = mRlbFilter[1].Process(mPreFilter[1].Process(s2));
    const double y3 = mRlbFilter[2].Process(mPreFilter[2].Process(s3));
    const double y4 = mRlbFilter[3].Process(mPreFilter[3].Process(s4));
    const double y5 = mRlbFilter[4].Process(mPreFilter[4].Process(s5));
    const double y6 = mRlbFilter[5].Process(mPreFilter[5].Process(s6));

    mMomentary.Process(y1, y2, y3, y4, y5, y6, config);
    mShortTerm.Process(y1, y2, y3, y4, y5, y6, config);

    if (mMomentary.mReady == 1 && integrate != 0) mIntegrator.Process(mMomentary.mResult);
    if (mShortTerm.mReady == 1 && integrate != 0) mLra.Process(mShortTerm.mResult);
}
