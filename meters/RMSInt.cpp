#include "meters/RMSInt.h"

#include <new>

#include "common/Levels.h"

bool RMSInt::Init(int capacity) {
    mCapacity = capacity < 1 ? 1 : capacity;
    mStore.reset(new (std::nothrow) double[mCapacity]);
    if (!mStore) mCapacity = 0;
    mAbsoluteGateLufs = -70.0;
    mRelativeGateLu = -10.0;
    Reset();
    return mStore != nullptr;
}

void RMSInt::Reset() {
    for (int i = 0; i < mCapacity; ++i) mStore[i] = 0.0;
    mBlockSum = 0.0;
    mCount = 0;
    mIntegratedLufs = -141.0;
}

void RMSInt::Process(double z) {
    if (mCapacity == 0) return;

    if (LoudnessLufs(z) >= mAbsoluteGateLufs) {
        mBlockSum += z;
        mStore[mCount] = z;
        mCount += 1;
    }
    if (mCount != 0) {
        const double absoluteLufs = LoudnessLufs(mBlockSum / mCount);
        const double threshold = absoluteLufs + mRelativeGateLu;
        double gatedSum = 0.0;
        double gatedCount = 0.0;
        for (int i = 0; i < mCount; ++i) {
            const double v = mStore[i];
            if (LoudnessLufs(v) >= threshold) {
                gatedSum += v;
                gatedCount += 1.0;
            }
        }
        mIntegratedLufs = LoudnessLufs(gatedSum / gatedCount);
    }
    if (mCount == mCapacity) {
        mBlockSum = 0.0;
        mCount = 0;
    }
}
