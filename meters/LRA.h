#pragma once

// LRA: loudness range (EBU R128) from short-term (3 s) block mean squares, over every block since the
// last reset however long the programme runs.
//
// Blocks at or above the absolute gate (-70 LUFS) count. After each such block the counted blocks are
// gated again at (absolute-gated loudness - 20 LU) and the range is the loudness at the 95th minus the
// loudness at the 10th percentile of the gated blocks, in LU.
//
// Two stages, chosen by the number of counted blocks:
//  - Up to the exact store's capacity (3600 blocks, an hour of 1 s blocks) the blocks are kept sorted
//    with their loudness, and the percentiles are the gated blocks' own loudness: every value is
//    bit-for-bit the plain algorithm's (gate, sort, pick by index).
//  - Beyond it the percentiles are read from a LoudnessHistogram of counts (0.001 LU bins) that has
//    taken every block from the start. The whole bin holding the relative threshold counts as gated, and
//    each percentile is the middle of the bin holding the block of its rank. So each percentile is within
//    0.0005 LU of the exact one for the relative threshold lowered by less than 0.001 LU, and the range
//    within 0.001 LU of the exact range for that threshold. Lowering the threshold can only lower either
//    percentile, so the range lies within [H(T - 0.001) - L(T) - 0.001, H(T) - L(T - 0.001) + 0.001],
//    H and L being the exact high and low percentiles for a threshold. Bins cover -70 to +10 LUFS; a
//    louder percentile reads as the top bin's middle.
//
// Memory, fixed at Init: 16 bytes per stored block and 8 per bin (0.7 MB with the defaults). A reset
// costs the same whatever the sizes: the store is only read up to the count, the histogram's bins
// empty in constant time (LoudnessHistogram.h).
// Per block: O(log bins) and a few logarithms, plus, in the first stage, an insertion into the sorted
// store and a walk over it (comparisons only), never more than the capacity.
//
// Owns its arrays (allocated in Init only). Threads: audio thread under the plug-in mutex, or during
// construction. Process allocates nothing; it runs once per short-term result, not per sample.

#include <cstdint>
#include <memory>

#include "meters/LoudnessHistogram.h"

class LRA {
  public:
    static constexpr int kHistogramBins = 80000;  // -70 to +10 LUFS

    // Allocates an exact store of maxBlocks blocks (at least 1) and the histogram, every byte written
    // (arrays of the same size from an earlier Init are kept as they are); sets the gates and
    // percentiles; range, running sum and count 0. Returns false if allocation failed; Process then
    // does nothing.
    bool Init(int maxBlocks);

    // Range 0, running sum 0, count 0, store and histogram emptied. Gates and percentiles stay.
    // Constant time.
    void Reset();

    // Adds one short-term block mean square z and recomputes the range.
    void Process(double z);

    // Blocks the exact store holds before the histogram takes over.
    int Capacity() const { return mCapacity; }

    // Bytes allocated by Init.
    std::int64_t Bytes() const;

    // Results.
    double mRangeLu = 0.0;    // loudness range, LU
    std::int64_t mCount = 0;  // blocks at or above the absolute gate; 0 means no range yet

    // Settings (set by Init).
    double mAbsoluteGateLufs = -70.0;
    double mRelativeGateLu = -20.0;
    double mLowPercentile = 10.0;
    double mHighPercentile = 95.0;

    // Intermediate values of the latest Process, for inspection.
    double mRunningSum = 0.0;    // sum of the counted block mean squares, in arrival order
    double mGatedLufs = -144.0;  // loudness of running sum / count
    double mRelativeThresholdLufs = -144.0;
    std::int64_t mRelativeCount = 0;  // blocks at or above the relative threshold
    double mLowLufs = -144.0;
    double mHighLufs = -144.0;

  private:
    void StoreSorted(double z, double lufs);
    void RangeFromStore();
    void RangeFromHistogram();
    // Percentile indices among k gated blocks, as the plain algorithm rounds them.
    std::int64_t LowIndex(std::int64_t k) const;
    std::int64_t HighIndex(std::int64_t k) const;

    std::unique_ptr<double[]> mSorted;      // stored block mean squares, ascending
    std::unique_ptr<double[]> mSortedLufs;  // their loudness, as the gates compare it
    int mCapacity = 0;                      // blocks the store holds; 0 when Init failed
    int mAllocated = 0;                     // blocks the two store arrays were allocated for
    LoudnessHistogram mHistogram;
};
