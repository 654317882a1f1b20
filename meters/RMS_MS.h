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
// Until the ring is full, the power leaving the window is 0.0 and the ring is not read, so a slot is
// only ever read after this fill wrote it: a reset needs to clear no slot and costs the same at any
// window length, and the values are those of a ring zeroed at every reset.
//
// Owns its ring (allocated in Init only, every byte written there). Threads: audio thread under the
// plug-in mutex, or during construction; Process allocates nothing. The display feed writes the two
// read-out levels.

#include <memory>

class RMS_MS {
  public:
    // Allocates a ring of windowLength doubles (at least 1) filled with 0.0, or keeps the ring of an
    // earlier Init of the same length, and clears every running value. An overlap outside [0, 1] is
    // clamped into it (NaN counts as 0). Returns false if the ring could not be allocated; Process then
    // does nothing.
    bool Init(int windowLength, double overlap);

    // Measures over the first windowLength slots of the ring from now on (clamped to 1 .. the length
    // Init allocated), then Reset. Allocates nothing: a window shorter than the ring costs no memory.
    void SetWindowLength(int windowLength);

    // Empties the window (fill, sum, hop) and clears every running value; read-out levels -144.0.
    // Keeps length and overlap. Constant time: the ring's old powers are never read again.
    void Reset();

    // Per-sample step. Returns 1 when a new result was produced at this sample (also left in mReady).
    int Process(double y1, double y2, double y3, double y4, double y5, double y6, int config);

    // The weights of slots 4, 5 and 6 in the power sum under `config` (slots 1 to 3 weigh 1.0).
    struct Weights {
        double w4, w5, w6;
    };
    static Weights PowerWeights(int config) {
        return {config == 3 ? 0.0 : (config == 2 ? 1.41 : 1.0), (config == 2 || config == 3) ? 1.41 : 1.0,
                config == 3 ? 1.41 : (config == 2 ? 0.0 : 1.0)};
    }

    // The power of one frame: y1^2 + y2^2 + y3^2 + w4 y4^2 + w5 y5^2 + w6 y6^2, in that order.
    static double Power(const Weights& w, double y1, double y2, double y3, double y4, double y5, double y6) {
        return y1 * y1 + y2 * y2 + y3 * y3 + w.w4 * y4 * y4 + w.w5 * y5 * y5 + w.w6 * y6 * y6;
    }

    // ProcessPower for each of the powers p[0 .. n-1] in turn, with the running values held in registers
    // for the run. Each result produced is appended to `results` (room for n); returns how many.
    // Afterwards every field is as after the n single steps (mReady that of the last).
    int ProcessRun(const double* p, int n, double* results);

    // Process for a frame whose power p is already formed.
    int ProcessPower(double p) {
        mReady = 0;
        if (mWindowLength == 0) return 0;  // no ring: Init failed or never ran

        mWindowSum += p;
        mOutgoing = mFull == 1 ? mRing[mWriteIndex] : 0.0;
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
        // two results is not missed. Division by the length is monotone: the largest sum divided once
        // gives the bits of the largest mean.
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
    std::unique_ptr<double[]> mRing;  // read only where this fill of the window wrote
    int mWindowLength = 0;            // 0 when Init failed
    int mAllocated = 0;               // doubles the ring was allocated for
    double mOverlap = 0.0;
    int mWriteIndex = 0;
    double mWindowSum = 0.0;  // kept incrementally, never negative
    double mOutgoing = 0.0;   // ring value replaced by the latest sample
    double mMaxSum = 0.0;     // largest window sum at any sample since the window filled
    int mHopCounter = 0;      // samples since the last result
};
