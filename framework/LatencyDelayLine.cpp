#include "framework/LatencyDelayLine.h"

LatencyDelayLine::LatencyDelayLine(int nInputs, int nOutputs)
    : mBuf(8 * 1024), mNumInputs(nInputs > 0 ? nInputs : 0), mNumOutputs(nOutputs > 0 ? nOutputs : 0) {}

bool LatencyDelayLine::SetDelay(int delaySamples) {
    if (delaySamples < 0) delaySamples = 0;
    mWritePos = 0;
    const long long total = static_cast<long long>(mNumInputs) * delaySamples;
    if (total > 0x7fffffffLL / static_cast<long long>(sizeof(double)) ||
        (total > 0 && !mBuf.Resize(static_cast<int>(total)))) {
        mBuf.Resize(0);
        mDelay = 0;
        return false;
    }
    if (total == 0) mBuf.Resize(0);
    mBuf.ZeroFill();
    mDelay = delaySamples;
    return true;
}

void LatencyDelayLine::Process(double** in, double** out, int nInputs, int nOutputs, int nFrames) {
    if (mDelay <= 0 || !in || !out) return;
    // Only channels that have both a ring and an output take part.
    int nCh = nInputs < mNumInputs ? nInputs : mNumInputs;
    if (nOutputs < nCh) nCh = nOutputs;
    if (mNumOutputs < nCh) nCh = mNumOutputs;
    double* rings = mBuf.Get();
    for (int s = 0; s < nFrames; ++s) {
        for (int c = 0; c < nCh; ++c) {
            double* slot = rings + static_cast<long long>(c) * mDelay + mWritePos;
            const double x = in[c][s];  // read first: in and out may alias
            out[c][s] = *slot;
            *slot = x;
        }
        if (++mWritePos >= mDelay) mWritePos = 0;
    }
}
