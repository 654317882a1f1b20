#include "meters/RMSMM6.h"

#include <cmath>

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
    mOverlap = meters::UsableOverlap(overlap);
    // The ring is allocated once for the longest window (kept from an earlier Init of the same size);
    // SetWindow only chooses how much of it the window spans.
    if (!mWindow.Init(mCapacity, mOverlap)) mCapacity = 0;

    mWindowMs = minWindowMs;
    mWindowLength = meters::TruncToCount((minWindowMs * 0.001) * mFs, 1, mCapacity > 0 ? mCapacity : 1);
    mWindow.SetWindowLength(mWindowLength);

    for (ISPD_ITU& d : mTruePeak) d.Init(mFs);
    mRmsOffsetDb = 0.0;
    mPeakOffsetDb = 0.0;
    mCommonOffsetDb = 0.0;
    for (PeakFollower& f : mFollower) f.Init(mFs);

    Reset();
    return mCapacity > 0;
}

void RMSMM6::SetWindow(double windowMs) {
    if (windowMs != mWindowMs && mMinWindowMs <= windowMs && windowMs <= mMaxWindowMs) {
        mWindowMs = windowMs;
        // Never longer than the ring, which was sized by the same formula for the longest window.
        mWindowLength = meters::TruncToCount((windowMs * 0.001) * mFs, 1, mCapacity > 0 ? mCapacity : 1);
        mWindow.SetWindowLength(mWindowLength);
        Reset();
    }
}

void RMSMM6::Reset() {
    mWindow.Reset();
    mFull = 0;
    mReady = 0;
    mMeanSquare = 0.0;
    mMaxMeanSquare = 0.0;
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
    const unsigned measured = enable != 0.0 ? sel : 0u;
    double peaks[ISPD_ITU::kMaxRun];
    for (int done = 0; done < nFrames;) {
        const int n = nFrames - done < ISPD_ITU::kMaxRun ? nFrames - done : ISPD_ITU::kMaxRun;
        for (int k = 0; k < kSlots; ++k)
            if (measured & (1u << k)) mTruePeak[k].ProcessRun(slots[k] + done, n, peaks);
        MeasureRun(slots, done, n, sel);
        done += n;
    }
    for (int k = 0; k < kSlots; ++k)
        if (!(measured & (1u << k))) mTruePeak[k].Follow(slots[k], nFrames);
    return mReady;
}

void RMSMM6::FollowBlock(const double* const* slots, int nFrames) {
    for (int k = 0; k < kSlots; ++k) mTruePeak[k].Follow(slots[k], nFrames);
}

void RMSMM6::TakeWindowResults() {
    mMeanSquare = mWindow.mResult;
    mMaxMeanSquare = mWindow.mMaxResult;
    mFull = mWindow.mFull;
    mReady = mWindow.mReady;
}

void RMSMM6::MeasureRun(const double* const* slots, int from, int n, unsigned sel) {
    const double* in[kSlots];  // the selected slots, in slot order
    int selected = 0;
    for (int k = 0; k < kSlots; ++k)
        if (sel & (1u << k)) in[selected++] = slots[k] + from;

    // Frame by frame: the peaks and the integration here, the window in one run of powers.
    double powers[ISPD_ITU::kMaxRun];
    double results[ISPD_ITU::kMaxRun];
    double samplePeak = mSamplePeak, peakMax = mPeakMax, integratedSum = mIntegratedSum;
    std::int64_t integratedCount = mIntegratedCount;
    for (int i = 0; i < n; ++i) {
        double peak = 0.0;
        double p = 0.0;
        for (int j = 0; j < selected; ++j) {
            const double x = in[j][i];
            const double a = std::fabs(x);
            if (a > peak) peak = a;
            p = p + x * x;
        }
        samplePeak = peak;
        if (samplePeak > peakMax) peakMax = samplePeak;
        integratedSum += p;
        integratedCount += 1;
        powers[i] = p;
    }
    mSamplePeak = samplePeak;
    mPeakMax = peakMax;
    mIntegratedSum = integratedSum;
    mIntegratedCount = integratedCount;
    if (n <= 0) return;
    mWindow.ProcessRun(powers, n, results);
    TakeWindowResults();
    // Once the window is full every frame updates the integrated mean; the last one's value stands.
    if (mFull == 1) mIntegratedMeanSquare = integratedSum / static_cast<double>(integratedCount);
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
