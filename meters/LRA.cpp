#include "meters/LRA.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/Levels.h"

bool LRA::Init(int maxBlocks) {
    mCapacity = maxBlocks < 1 ? 1 : maxBlocks;
    mStore.reset(new (std::nothrow) double[mCapacity]);
    mWork.reset(new (std::nothrow) double[mCapacity]);
    mAbsoluteGateLufs = -70.0;
    mRelativeGateLu = -20.0;
    mLowPercentile = 10.0;
    mHighPercentile = 95.0;
    const bool ok = mStore && mWork;
    if (!ok) mCapacity = 0;
    Reset();
    return ok;
}

void LRA::Reset() {
    mRangeLu = 0.0;
    mRunningSum = 0.0;
    mCount = 0;
}

void LRA::Process(double z) {
    if (mCapacity == 0) return;

    if (LoudnessLufs(z) >= mAbsoluteGateLufs) {
        mRunningSum += z;
        mStore[mCount] = z;
        mCount += 1;
        mGatedLufs = LoudnessLufs(mRunningSum / mCount);
    }
    if (mCount != 0) {
        double* work = mWork.get();
        for (int i = 0; i < mCount; ++i) work[i] = mStore[i];

        mRelativeThresholdLufs = mGatedLufs + mRelativeGateLu;
        int k = 0;
        for (int i = 0; i < mCount; ++i) {
            const double v = work[i];
            if (LoudnessLufs(v) >= mRelativeThresholdLufs) work[k++] = v;
        }
        mRelativeCount = k;

        // k >= 1 while the running sum is finite (the loudest block is never below the gated loudness).
        // A sum that overflowed to infinity (non-finite or absurd input) can empty the gated set; the
        // range then stays as it was rather than reading outside the array.
        if (k >= 1) {
            // Ascending order of the gated blocks. An introsort rather than a plain first-element-pivot
            // quicksort: blocks arrive already sorted (a fade) or all equal (a test tone) often, and there
            // a plain quicksort goes quadratic, about 3.5 ms per block on the audio thread at
            // 3600 blocks. NaN never gets here (it fails the absolute gate), so the order is total.
            std::sort(work, work + k);
            const int lowIndex = static_cast<int>(std::floor(mLowPercentile * (k - 1) / 100.0 + 0.5));
            const int highIndex = static_cast<int>(std::floor((k - 1) * mHighPercentile / 100.0 + 0.5));
            mLowLufs = LoudnessLufs(work[lowIndex]);
            mHighLufs = LoudnessLufs(work[highIndex]);
            mRangeLu = mHighLufs - mLowLufs;
        }
    }
    if (mCount == mCapacity) {
        mCount = 0;
        mRunningSum = 0.0;
    }
}
