#pragma once

// RMSInt: gated integration of momentary (400 ms) blocks into integrated loudness, over every block
// since the last reset however long the programme runs.
//
// Every block whose loudness is at least the absolute gate (-70 LUFS) counts. After each such block the
// blocks at or above (absolute-gated loudness - 10 LU) are averaged into mIntegratedLufs.
//
// Two stages, chosen by the number of counted blocks:
//  - Up to the exact store's capacity (36000 blocks, an hour of 100 ms blocks) the blocks are kept in
//    arrival order and the gated mean is summed over them in that order, so every value is bit-for-bit
//    the plain algorithm's. The sum is carried from block to block and the store is walked again only
//    when a stored block lies between the previous and the new relative threshold.
//  - Beyond it the gated sum and count are read from a LoudnessHistogram (0.001 LU bins, exact per-bin
//    counts, double per-bin sums) that has taken every block from the start. The whole bin that holds
//    the relative threshold counts as gated. So the result is exactly the plain algorithm's over all
//    blocks with the relative threshold lowered by less than 0.001 LU, up to the rounding of the running
//    sums (relative (n - 1) 2^-53 for n blocks, over an exact count: 2.1e-6 LU after 2^32 blocks). Lowering
//    the threshold only adds blocks below the gated mean, so the value lies between the exact ones for
//    thresholds T - 0.001 LU and T. In loudness that error is at most 10 log10(1 + e / n) LU, e being the
//    blocks within 0.001 LU below the threshold and n the gated blocks. Bins cover -70 to 0 LUFS; louder
//    blocks share the top bin, which the threshold reaches only for a mean loudness above +10 LUFS.
//
// Memory, fixed at Init: 16 bytes per stored block and 16 per bin (1.7 MB with the defaults). A reset
// costs the same whatever the sizes: the store is only read up to the count, the histogram's bins
// empty in constant time (LoudnessHistogram.h).
// Per block: O(log bins) and three logarithms, plus, in the first stage, a walk of the store (one
// comparison and two additions per block, no logarithm) when a stored block crosses the threshold.
//
// Owns its arrays (allocated in Init only). Threads: audio thread under the plug-in mutex, or during
// construction. Process allocates nothing.

#include <cstdint>
#include <memory>

#include "meters/LoudnessHistogram.h"

class RMSInt {
  public:
    static constexpr int kCapacity = 36000;
    static constexpr int kHistogramBins = 70000;  // -70 to 0 LUFS

    // Allocates an exact store of `capacity` blocks (at least 1) and the histogram, every byte written,
    // then resets; arrays of the same size from an earlier Init are kept as they are. Returns false if
    // an allocation failed; Process then does nothing.
    bool Init(int capacity = kCapacity);

    // Block sum 0, count 0, integrated loudness -141.0; store and histogram emptied. Constant time.
    void Reset();

    // Adds one momentary block mean square z.
    void Process(double z);

    // Blocks the exact store holds before the histogram takes over.
    int Capacity() const { return mCapacity; }

    // Bytes allocated by Init.
    std::int64_t Bytes() const;

    // Results.
    std::int64_t mCount = 0;          // blocks at or above the absolute gate; 0 means no value yet
    double mIntegratedLufs = -141.0;  // LUFS after both gates; -141.0 before the first gated block

    double mAbsoluteGateLufs = -70.0;
    double mRelativeGateLu = -10.0;

  private:
    void GateStore(double thresholdLufs);
    bool StoreCrosses(double fromLufs, double toLufs) const;

    double mBlockSum = 0.0;
    std::unique_ptr<double[]> mStore;      // block mean squares in arrival order
    std::unique_ptr<double[]> mStoreLufs;  // their loudness, as the gate compares it
    int mCapacity = 0;                     // blocks the store holds; 0 when Init failed
    int mAllocated = 0;                    // blocks the two store arrays were allocated for
    double mThresholdLufs = 0.0;           // relative threshold mGatedSum was summed for
    double mGatedSum = 0.0;  // stored blocks at or above mThresholdLufs, summed in arrival order
    double mGatedCount = 0.0;
    LoudnessHistogram mHistogram;
};
