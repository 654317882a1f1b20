#include "meters/RMS_MS.h"

#include <new>

#include "meters/SampleCount.h"

bool RMS_MS::Init(int windowLength, double overlap) {
    mWindowLength = windowLength < 1 ? 1 : windowLength;
    mOverlap = meters::UsableOverlap(overlap);
    if (!mRing || mAllocated != mWindowLength) {
        mRing.reset();
        // Zeroed here, on the thread that initialises, so that the audio thread never takes the page
        // faults of touching the ring for the first time.
        mRing.reset(new (std::nothrow) double[mWindowLength]());
        mAllocated = mRing ? mWindowLength : 0;
    }
    if (!mRing) mWindowLength = 0;
    Reset();
    return mRing != nullptr;
}

void RMS_MS::SetWindowLength(int windowLength) {
    if (!mRing) return;
    mWindowLength = windowLength < 1 ? 1 : (windowLength > mAllocated ? mAllocated : windowLength);
    Reset();
}

void RMS_MS::Reset() {
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
    return ProcessPower(Power(PowerWeights(config), y1, y2, y3, y4, y5, y6));
}

int RMS_MS::ProcessRun(const double* p, int n, double* results) {
    mReady = 0;
    if (mWindowLength == 0 || n <= 0) return 0;  // no ring: Init failed or never ran

    double* ring = mRing.get();
    const int length = mWindowLength;
    const double hop = (1.0 - mOverlap) * length;
    double sum = mWindowSum, outgoing = mOutgoing, maxSum = mMaxSum, maxResult = mMaxResult, result = mResult;
    int writeIndex = mWriteIndex, hopCounter = mHopCounter, full = mFull, ready = 0, count = 0;
    for (int i = 0; i < n; ++i) {
        ready = 0;
        sum += p[i];
        hopCounter += 1;
        if (full == 1) {
            outgoing = ring[writeIndex];
            ring[writeIndex] = p[i];
            writeIndex += 1;
            if (writeIndex == length) writeIndex = 0;
        } else {
            // Filling: nothing leaves the window, and no slot of an earlier fill is read.
            outgoing = 0.0;
            ring[writeIndex] = p[i];
            writeIndex += 1;
            if (writeIndex != length) continue;
            writeIndex = 0;
            full = 1;
        }
        const double d = sum - outgoing;
        sum = d > 0.0 ? d : 0.0;
        if (sum > maxSum) {
            maxSum = sum;
            maxResult = sum / length;
        }
        if (static_cast<double>(hopCounter) > hop) {
            hopCounter = 0;
            result = sum / length;
            results[count++] = result;
            ready = 1;
        }
    }
    mWindowSum = sum;
    mOutgoing = outgoing;
    mMaxSum = maxSum;
    mMaxResult = maxResult;
    mResult = result;
    mWriteIndex = writeIndex;
    mHopCounter = hopCounter;
    mFull = full;
    mReady = ready;
    return count;
}
