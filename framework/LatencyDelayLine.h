#pragma once

#include "framework/WDL_TypedBuf.h"

// Delays bypassed audio by the plug-in's latency so that bypassing keeps the host's delay
// compensation in step. One ring of `delay` samples per input channel, channel after channel.
//
// SetDelay allocates (never on the audio thread); Process runs on the audio thread under the
// plug-in mutex and does not allocate.
class LatencyDelayLine {
  public:
    LatencyDelayLine(int nInputs, int nOutputs);

    // Resizes the rings to delaySamples each (negative counts as 0), zero-fills them and rewinds.
    // Returns false (delay 0) when the allocation failed.
    bool SetDelay(int delaySamples);
    int GetDelay() const { return mDelay; }

    // For every channel c with c < inputs and c < outputs, out[c][s] = in[c][s - delay].
    // Outputs without a matching input are left alone. in and out may be the same buffers.
    // Does nothing while the delay is 0.
    void Process(double** in, double** out, int nInputs, int nOutputs, int nFrames);

  private:
    WDL_TypedBuf<double> mBuf;
    int mWritePos = 0;
    int mNumInputs;
    int mNumOutputs;
    int mDelay = 0;
};
