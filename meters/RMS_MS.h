#pragma once

// RMS_MS: sliding-window mean square of the weighted slot powers, with overlapping results.
//
// Each sample adds p = y1^2 + y2^2 + y3^2 + w4 y4^2 + w5 y5^2 + w6 y6^2 (weights from the channel
// configuration) to a ring of window-length powers. The first result comes at the sample that first
// fills the ring; after that one every floor((1 - overlap) * window length) + 1 samples. The maximum is
// taken at every sample once the ring is full, so it catches a peak between two results; it equals the
// largest result when the peak falls on a result. Results are linear mean squares (full-scale sine in one
// slot = 0.5).
//
// Owns its ring (allocated in Init only). Threads: audio thread under the plug-in mutex, or during
// construction; Process allocates nothing. The display feed writes the two read-out levels.

#include <memory>

class RMS_MS {
  public:
    // Allocates a ring of windowLength doubles (at least 1) filled with 0.0 and clears every running
    // value. An overlap outside [0, 1] is clamped into it (NaN counts as 0). Returns false if the ring
    // could not be allocated; Process then does nothing.
    bool Init(int windowLength, double overlap);

    // Zeroes the ring and every running value; read-out levels -144.0. Keeps length and overlap.
    void Reset();

    // Per-sample step. Returns 1 when a new result was produced at this sample (also left in mReady).
    int Process(double y1, double y2, double y3, double y4, double y5, double y6, int config);

    int WindowLength() const { return mWindowLength; }
    double Overlap() const { return mOverlap; }

    // Results.
    double mResult = 0.0;           // latest mean square
    double mMaxResult = 0.0;        // largest window mean square at any sample since the window filled
    double mMaxReadoutDb = -144.0;  // written only by the display feed
    double mReadoutDb = -144.0;     // written only by the display feed
    int mFull = 0;                  // 1 once the ring has been filled since the last reset
    int mReady = 0;                 // 1 only for the sample that produced a result

  private:
    std::unique_ptr<double[]> mRing;
    int mWindowLength = 0;
    double mOverlap = 0.0;
    int mWriteIndex = 0;
    double mWindowSum = 0.0;  // kept incrementally, never negative
    double mOutgoing = 0.0;   // ring value replaced by the latest sample
    double mMaxSum = 0.0;     // largest window sum at any sample since the window filled
    int mHopCounter = 0;      // samples since the last result
};
