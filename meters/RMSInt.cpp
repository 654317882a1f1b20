#include "meters/RMSInt.h"

#include <new>

#include "common/Levels.h"

bool RMSInt::Init(int capacity) {
    mCapacity = capacity < 1 ? 1 : capacity;
    if (!mStore || !mStoreLufs || mAllocated != mCapacity) {
        mStore.reset();
        mStoreLufs.reset();
        // Zeroed here, on the thread that initialises, so that the audio thread's first hour never
        // takes the page faults of touching the stores for the first time.
        mStore.reset(new (std::nothrow) double[mCapacity]());
        mStoreLufs.reset(new (std::nothrow) double[mCapacity]());
        mAllocated = mCapacity;
    }
    const bool ok = mHistogram.Init(kHistogramBins, true) && mStore && mStoreLufs;
    if (!ok) mCapacity = 0;
    mAbsoluteGateLufs = -70.0;
    mRelativeGateLu = -10.0;
    Reset();
    return ok;
}

void RMSInt::Reset() {
    mBlockSum = 0.0;
    mCount = 0;
    mIntegratedLufs = -141.0;
    mThresholdLufs = 0.0;
    mGatedSum = 0.0;
    mGatedCount = 0.0;
    mHistogram.Reset();
}

std::int64_t RMSInt::Bytes() const {
    return static_cast<std::int64_t>(mCapacity) * 2 * sizeof(double) + mHistogram.Bytes();
}

void RMSInt::Process(double z) {
    if (mCapacity == 0) return;

    // A block below the absolute gate leaves every sum as it was, so the value stays as it is.
    const double lufs = LoudnessLufs(z);
    if (!(lufs >= mAbsoluteGateLufs)) return;

    mBlockSum += z;
    mCount += 1;
    const double absoluteLufs = LoudnessLufs(mBlockSum / static_cast<double>(mCount));
    const double threshold = absoluteLufs + mRelativeGateLu;

    if (mCount <= mCapacity) {
        const int last = static_cast<int>(mCount) - 1;
        mStore[last] = z;
        mStoreLufs[last] = lufs;
        // While no earlier block lies between the two thresholds, the gated set only gains the new
        // block, which comes last in arrival order: adding it gives the full sum's bits.
        if (last == 0 || StoreCrosses(mThresholdLufs, threshold)) {
            GateStore(threshold);
        } else if (lufs >= threshold) {
            mGatedSum += z;
            mGatedCount += 1.0;
        }
        mThresholdLufs = threshold;
        mHistogram.Add(lufs, z);
        mIntegratedLufs = LoudnessLufs(mGatedSum / mGatedCount);
        return;
    }

    mHistogram.Add(lufs, z);
    const int gateBin = mHistogram.BinOf(threshold);
    const std::int64_t gated = mHistogram.CountFrom(gateBin);
    if (gated > 0) mIntegratedLufs = LoudnessLufs(mHistogram.SumFrom(gateBin) / static_cast<double>(gated));
}

void RMSInt::GateStore(double thresholdLufs) {
    // Adding 0.0 leaves a sum's bits unchanged, so the selection needs no branch.
    double sum = 0.0;
    double count = 0.0;
    const int n = static_cast<int>(mCount);
    for (int i = 0; i < n; ++i) {
        const bool gated = mStoreLufs[i] >= thresholdLufs;
        sum += gated ? mStore[i] : 0.0;
        count += gated ? 1.0 : 0.0;
    }
    mGatedSum = sum;
    mGatedCount = count;
}

// Whether a block already in the store (and so in the histogram) may lie in [lower, upper) of the two
// thresholds. Whole bins are counted, so a true answer may be a false alarm but a false one is exact.
bool RMSInt::StoreCrosses(double fromLufs, double toLufs) const {
    if (fromLufs == toLufs) return false;
    const double lower = fromLufs < toLufs ? fromLufs : toLufs;
    const double upper = fromLufs < toLufs ? toLufs : fromLufs;
    const int firstBin = mHistogram.BinOf(lower);
    const int lastBin = mHistogram.BinOf(upper);
    return mHistogram.CountFrom(firstBin) - mHistogram.CountFrom(lastBin + 1) > 0;
}
