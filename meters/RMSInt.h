#pragma once

// RMSInt: gated integration of momentary (400 ms) blocks into integrated loudness.
//
// Every block whose loudness is at least the absolute gate (-70 LUFS) is stored. After each block the
// stored blocks at or above (absolute-gated loudness - 10 LU) are averaged into mIntegratedLufs.
// When the store reaches its capacity the count starts again from 0; the integrated value stays
// until the next block that passes the absolute gate.
//
// Owns its store (allocated in Init only). Threads: audio thread under the plug-in mutex, or during
// construction. Process allocates nothing; it takes one logarithm per stored block.

#include <memory>

class RMSInt {
  public:
    static constexpr int kCapacity = 36000;

    // Allocates a zeroed store of `capacity` blocks (at least 1) and resets. Returns false if the
    // store could not be allocated; Process then does nothing.
    bool Init(int capacity = kCapacity);

    // Zeroes the store; block sum 0, count 0, integrated loudness -141.0.
    void Reset();

    // Adds one momentary block mean square z.
    void Process(double z);

    int Capacity() const { return mCapacity; }

    // Results.
    int mCount = 0;                   // blocks stored; 0 means no integrated value yet
    double mIntegratedLufs = -141.0;  // LUFS after both gates; -141.0 before the first gated block

    double mAbsoluteGateLufs = -70.0;
    double mRelativeGateLu = -10.0;

  private:
    double mBlockSum = 0.0;
    std::unique_ptr<double[]> mStore;
    int mCapacity = 0;
};
