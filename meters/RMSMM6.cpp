#include "meters/RMSMM6.h"

#include <cmath>
#include <new>

#include "common/Levels.h"
#include "meters/SampleCount.h"
#include "meters/SimdKernels.h"

namespace {

// Slot k (0-based) is selected by config: 0 slots 1, 2; 1 slot 1; 2 slot 2; 3 slots 1-4;
// 4 slots 1-6; anything else (compared as unsigned, so negatives too) none.
constexpr unsigned kSelectedMask[5] = {0x03u, 0x01u, 0x02u, 0x0Fu, 0x3Fu};

unsigned SelectedSlots(int config) {
    const unsigned c = static_cast<unsigned>(config);
    return c < 5u ? kSelectedMask[c] : 0u;
}

}  // namespace

bool RMSMM6::Init(double minWindowMs, double maxWindowMs, double overlap, double sampleRate) {
    mFs = meters::UsableSampleRate(sampleRate);
    mMinWindowMs = minWindowMs;
    mMaxWindowMs = maxWindowMs;

    mCapacity = meters::TruncToCount((maxWindowMs * 0.001) * mFs, 1, meters::kMaxRingSamples);
    mRing.reset(new (std::nothrow) double[mCapacity]);
    if (!mRing) mCapacity = 0;

    mWindowMs = minWindowMs;
    mWindowLength = meters::TruncToCount((minWindowMs * 0.001) * mFs, 1, mCapacity > 0 ? mCapacity : 1);
    mOverlap = meters::UsableOverlap(overlap);

    for (ISPD_ITU& d : mTruePeak) d.Init(mFs);
    mRmsOffsetDb = 0.0;
    mPeakOffsetDb = 0.0;
    mCommonOffsetDb = 0.0;
    for (PeakFollower& f : mFollower) f.Init(mFs);

    Reset();
    return mRing != nullptr;
}

void RMSMM6::SetWindow(double windowMs) {
    if (windowMs != mWindowMs && mMinWindowMs <= windowMs && windowMs <= mMaxWindowMs) {
        mWindowMs = windowMs;
        // Never longer than the ring, which was sized by the same formula for the longest window.
        mWindowLength = meters::TruncToCount((windowMs * 0.001) * mFs, 1, mCapacity > 0 ? mCapacity : 1);
        Reset();
    }
}

void RMSMM6::Reset() {
    for (int i = 0; i < mCapacity; ++i) mRing[i] = 0.0;
    mWriteIndex = 0;
    mFull = 0;
    mReady = 0;
    mHopCounter = 0;
    mWindowSum = 0.0;
    mOutgoing = 0.0;
    mMeanSquare = 0.0;
    mMaxMeanSquare = 0.0;
    mMaxWindowSum = 0.0;
    mReadoutDb = -144.0;
    mMaxReadoutDb = -144.0;
    mIntegratedSum = 0.0;
    mIntegratedCount = 0;
    mIntegratedMeanSquare = 0.0;
    mIntegratedReadoutDb = -144.0;
    mSamplePeak = 0.0;
    mPeakMax = 0.0;
    mPeakMaxReadoutDb = -144.0;
    for (ISPD_ITU& d : mTruePeak) d.Reset();
    for (PeakFollower& f : mFollower) f.Reset();
}

void RMSMM6::Process_M(double s1, double s2, double s3, double s4, double s5, double s6, double /*enable*/,
                       int config) {
    const unsigned sel = SelectedSlots(config);
    if (sel & 0x01u) mFollower[0].Process(std::fabs(s1));
    if (sel & 0x02u) mFollower[1].Process(std::fabs(s2));
    if (sel & 0x04u) mFollower[2].Process(std::fabs(s3));
    if (sel & 0x08u) mFollower[3].Process(std::fabs(s4));
    if (sel & 0x10u) mFollower[4].Process(std::fabs(s5));
    if (sel & 0x20u) mFollower[5].Process(std::fabs(s6));
}

int RMSMM6::Process(double s1, double s2, double s3, double s4, double s5, double s6, double enable,
                    int config) {
    if (mCapacity == 0) return 0;  // no ring: Init failed or never ran

    const unsigned sel = SelectedSlots(config);
    const double s[kSlots] = {s1, s2, s3, s4, s5, s6};

    if (enable != 0.0) {
        for (int k = 0; k < kSlots; ++k)
            if (sel & (1u << k)) mTruePeak[k].ProcessSample(s[k]);
    }
    return MeasureFrame(s, sel);
}

void RMSMM6::ProcessBlock_M(const double* const* slots, int nFrames, int config) {
    const unsigned sel = SelectedSlots(config);
    int lane[kSlots];  // slot of each follower lane
    int lanes = 0;
    for (int k = 0; k < kSlots; ++k)
        if (sel & (1u << k)) lane[lanes++] = k;
    if (lanes == 0 || nFrames <= 0) return;

    meters::kernels::FollowerBank followers;
    for (int j = 0; j < meters::kernels::kBankLanes; ++j) {
        const bool live = j < lanes;
        const PeakFollower& f = mFollower[live ? lane[j] : 0];
        followers.held[j] = live ? f.mHeld : 0.0;
        followers.follower[j] = live ? f.mFollower : 0.0;
        followers.decay[j] = live ? f.mDecay : 1.0;
        followers.x[j] = slots[live ? lane[j] : lane[0]];
    }
    meters::kernels::FollowerRun(followers, lanes, nFrames, true);
    for (int j = 0; j < lanes; ++j) {
        mFollower[lane[j]].mHeld = followers.held[j];
        mFollower[lane[j]].mFollower = followers.follower[j];
    }
}

int RMSMM6::ProcessBlock(const double* const* slots, int nFrames, double enable, int config) {
    if (mCapacity == 0) return 0;  // no ring: Init failed or never ran

    const unsigned sel = SelectedSlots(config);
    double peaks[ISPD_ITU::kMaxRun];
    for (int done = 0; done < nFrames;) {
        const int n = nFrames - done < ISPD_ITU::kMaxRun ? nFrames - done : ISPD_ITU::kMaxRun;
        if (enable != 0.0) {
            for (int k = 0; k < kSlots; ++k)
                if (sel & (1u << k)) mTruePeak[k].ProcessRun(slots[k] + done, n, peaks);
        }
        for (int i = done; i < done + n; ++i) {
            const double s[kSlots] = {slots[0][i], slots[1][i], slots[2][i],
                                      slots[3][i], slots[4][i], slots[5][i]};
            MeasureFrame(s, sel);
        }
        done += n;
    }
    return mReady;
}

int RMSMM6::MeasureFrame(const double* s, unsigned sel) {
    double peak = 0.0;
    double p = 0.0;
    for (int k = 0; k < kSlots; ++k) {
        if (sel & (1u << k)) {
            const double a = std::fabs(s[k]);
            if (a > peak) peak = a;
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

    if (mWriteIndex >= mWindowLength) {
        mWriteIndex = 0;
        mReady = 0;
        mFull = 1;
    } else {
        mReady = 0;
        if (mFull != 1) return 0;
    }

    // The clamp keeps rounding drift from turning the sum negative; a NaN difference also gives 0.0.
    const double d = mWindowSum - mOutgoing;
    mWindowSum = d > 0.0 ? d : 0.0;

    // Maximum at every sample of a full window (one comparison); the largest sum divided once gives the
    // bits of the largest mean.
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

double RMSMM6::GetCrestVal_db() {
    const double r = std::fabs(std::sqrt(mIntegratedMeanSquare));
    double il = RoundedLevelDb(r) + mRmsOffsetDb + mCommonOffsetDb;
    mIntegratedReadoutDb = il;
    if (il < -140.0) return -144.0;
    const double peak = RoundedLevelDb(std::fabs(mPeakMax)) + mPeakOffsetDb;
    mPeakMaxReadoutDb = peak;
    il = RoundedLevelDb(r) + mRmsOffsetDb + mCommonOffsetDb;
    mIntegratedReadoutDb = il;
    return (peak + mCommonOffsetDb) - il;
}
