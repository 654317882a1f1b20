#include "meters/RMS_MS.h"

#include <new>

#include "meters/SampleCount.h"

bool RMS_MS::Init(int windowLength, double overlap) {
    mWindowLength = windowLength < 1 ? 1 : windowLength;
    mOverlap = meters::UsableOverlap(overlap);
    mRing.reset(new (std::nothrow) double[mWindowLength]);
    if (!mRing) mWindowLength = 0;
    Reset();
    return mRing != nullptr;
}

void RMS_MS::Reset() {
    for (int i = 0; i < mWindowLength; ++i) mRing[i] = 0.0;
    mWriteIndex = 0;
    mWindowSum = 0.0;
    mOutgoing = 0.0;
    mResult = 0.0;
    mMaxResult = 0.0;
    mMaxSum = 0.0;
    mMaxReadoutDb = -144.0;
    mReadoutDb = -144.0;
    mFull = 0;
    mReady = 0;
    mHopCounter = 0;
}

int RMS_MS::Process(double y1, double y2, double y3, double y4, double y5, double y6, int config) {
    mReady = 0;
    if (mWindowLength == 0) return 0;  // no ring: Init failed or never ran

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

    // The clamp keeps rounding drift from turning the sum negative. Written so that a NaN difference
    // also gives 0.0, which bounds the damage a non-finite sample can do.
    const double d = mWindowSum - mOutgoing;
    mWindowSum = d > 0.0 ? d : 0.0;

    // The maximum is taken at every sample of a full window, not only at the hops, so a peak between
    // two results is not missed. Division by the length is monotone: the largest sum divided once gives
    // the bits of the largest mean.
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
