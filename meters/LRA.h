#pragma once

// LRA: loudness range (EBU R128) from short-term (3 s) block mean squares.
//
// Blocks at or above the absolute gate (-70 LUFS) are stored. On every block the store is gated again
// at (absolute-gated loudness - 20 LU), sorted, and the range is the loudness at the 95th minus the
// loudness at the 10th percentile, in LU. When the store reaches its capacity it starts again from
// empty; the range keeps its last value until the next block that passes the absolute gate.
//
// Owns its four arrays (allocated in Init only). Threads: audio thread under the plug-in mutex, or
// during construction. Process allocates nothing; it runs once per short-term result, not per sample.

#include <memory>

class LRA {
  public:
    // Allocates store and work array of maxBlocks doubles (at least 1); sets the gates and percentiles;
    // range, running sum and count 0. Returns false if allocation failed; Process then does nothing.
    bool Init(int maxBlocks);

    // Range 0, running sum 0, count 0. Gates and percentiles stay.
    void Reset();

    // Adds one short-term block mean square z and recomputes the range.
    void Process(double z);

    int Capacity() const { return mCapacity; }

    // Results.
    double mRangeLu = 0.0;  // loudness range, LU
    int mCount = 0;         // blocks stored; 0 means no range yet

    // Settings (set by Init).
    double mAbsoluteGateLufs = -70.0;
    double mRelativeGateLu = -20.0;
    double mLowPercentile = 10.0;
    double mHighPercentile = 95.0;

    // Intermediate values of the latest Process, for inspection.
    double mRunningSum = 0.0;    // sum of the stored block mean squares
    double mGatedLufs = -144.0;  // loudness of running sum / count
    double mRelativeThresholdLufs = -144.0;
    int mRelativeCount = 0;  // blocks at or above the relative threshold
    double mLowLufs = -144.0;
    double mHighLufs = -144.0;

  private:
    std::unique_ptr<double[]> mStore;
    std::unique_ptr<double[]> mWork;
    int mCapacity = 0;
};
