#include "meters/LRA.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "common/Levels.h"

bool LRA::Init(int maxBlocks) {
    mCapacity = maxBlocks < 1 ? 1 : maxBlocks;
    if (!mSorted || !mSortedLufs || mAllocated != mCapacity) {
        mSorted.reset();
        mSortedLufs.reset();
        // Zeroed here, on the thread that initialises, so that the audio thread never takes the page
        // faults of touching the store for the first time.
        mSorted.reset(new (std::nothrow) double[mCapacity]());
        mSortedLufs.reset(new (std::nothrow) double[mCapacity]());
        mAllocated = mCapacity;
    }
    mAbsoluteGateLufs = -70.0;
    mRelativeGateLu = -20.0;
    mLowPercentile = 10.0;
    mHighPercentile = 95.0;
    const bool ok = mHistogram.Init(kHistogramBins, false) && mSorted && mSortedLufs;
    if (!ok) mCapacity = 0;
    Reset();
    return ok;
}

void LRA::Reset() {
    mRangeLu = 0.0;
    mRunningSum = 0.0;
    mCount = 0;
    mHistogram.Reset();
}

std::int64_t LRA::Bytes() const {
    return static_cast<std::int64_t>(mCapacity) * 2 * sizeof(double) + mHistogram.Bytes();
}

std::int64_t LRA::LowIndex(std::int64_t k) const {
    return static_cast<std::int64_t>(std::floor(mLowPercentile * static_cast<double>(k - 1) / 100.0 + 0.5));
}

std::int64_t LRA::HighIndex(std::int64_t k) const {
    return static_cast<std::int64_t>(std::floor(static_cast<double>(k - 1) * mHighPercentile / 100.0 + 0.5));
}

void LRA::Process(double z) {
    if (mCapacity == 0) return;

    // A block below the absolute gate leaves the counted blocks, and so the range, as they were.
    const double lufs = LoudnessLufs(z);
    if (!(lufs >= mAbsoluteGateLufs)) return;

    mRunningSum += z;
    mCount += 1;
    mGatedLufs = LoudnessLufs(mRunningSum / static_cast<double>(mCount));
    mRelativeThresholdLufs = mGatedLufs + mRelativeGateLu;
    mHistogram.Add(lufs, z);

    if (mCount <= mCapacity) {
        StoreSorted(z, lufs);
        RangeFromStore();
    } else {
        RangeFromHistogram();
    }
}

void LRA::StoreSorted(double z, double lufs) {
    const int n = static_cast<int>(mCount) - 1;  // blocks stored before this one
    const int at = static_cast<int>(std::upper_bound(mSorted.get(), mSorted.get() + n, z) - mSorted.get());
    const std::size_t moved = static_cast<std::size_t>(n - at) * sizeof(double);
    std::memmove(mSorted.get() + at + 1, mSorted.get() + at, moved);
    std::memmove(mSortedLufs.get() + at + 1, mSortedLufs.get() + at, moved);
    mSorted[at] = z;
    mSortedLufs[at] = lufs;
}

// The gated blocks in ascending order are the stored ones, in their sorted order, whose loudness passes
// the relative gate: the same list the plain algorithm gates and sorts.
void LRA::RangeFromStore() {
    const int n = static_cast<int>(mCount);
    const double threshold = mRelativeThresholdLufs;
    std::int64_t k = 0;
    for (int i = 0; i < n; ++i) k += mSortedLufs[i] >= threshold ? 1 : 0;
    mRelativeCount = k;

    // k >= 1 while the running sum is finite (the loudest block is never below the gated loudness).
    // A sum that overflowed to infinity (non-finite or absurd input) can empty the gated set; the
    // range then stays as it was.
    if (k < 1) return;
    const std::int64_t lowIndex = LowIndex(k);
    const std::int64_t highIndex = HighIndex(k);
    std::int64_t seen = 0;
    for (int i = 0; i < n; ++i) {
        if (!(mSortedLufs[i] >= threshold)) continue;
        if (seen == lowIndex) mLowLufs = mSortedLufs[i];
        if (seen == highIndex) {
            mHighLufs = mSortedLufs[i];
            break;
        }
        ++seen;
    }
    mRangeLu = mHighLufs - mLowLufs;
}

void LRA::RangeFromHistogram() {
    const int gateBin = mHistogram.BinOf(mRelativeThresholdLufs);
    const std::int64_t k = mHistogram.CountFrom(gateBin);
    mRelativeCount = k;
    if (k < 1) return;
    const std::int64_t below = mHistogram.Total() - k;
    mLowLufs = LoudnessHistogram::CentreLufs(mHistogram.BinOfRank(below + LowIndex(k)));
    mHighLufs = LoudnessHistogram::CentreLufs(mHistogram.BinOfRank(below + HighIndex(k)));
    mRangeLu = mHighLufs - mLowLufs;
}
