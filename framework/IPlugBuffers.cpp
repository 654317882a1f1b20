// The channel model of IPlugBase: connections, scratch buffers and the float block flow.

#include <cstring>

#include "framework/IPlugBase.h"

namespace {

// End (exclusive) of the channel range [idx, idx + n) clipped to [0, count); the start is
// max(idx, 0). Never overflows.
int RangeEnd(int idx, int n, int count) {
    const long long e = static_cast<long long>(idx) + (n > 0 ? n : 0);
    return static_cast<int>(e < count ? e : count);
}

}  // namespace

void IPlugBase::SetBlockSize(int blockSize) {
    if (blockSize < 0) blockSize = 0;
    if (blockSize == mBlockSize) return;
    bool ok = true;  // Resize returns null for size 0 too, which is no failure
    for (int i = 0; i < NInChannels(); ++i)
        if (!mInChannels.Get(i)->mScratchBuf.Resize(blockSize) && blockSize > 0) ok = false;
    for (int i = 0; i < NOutChannels(); ++i)
        if (!mOutChannels.Get(i)->mScratchBuf.Resize(blockSize) && blockSize > 0) ok = false;
    // Without room for a whole block in every channel, no block may run: size 0 blocks all
    // entry points rather than letting them write past a short buffer.
    mBlockSize = ok ? blockSize : 0;
    if (!ok) {
        for (int i = 0; i < NInChannels(); ++i) mInChannels.Get(i)->mScratchBuf.Resize(0);
        for (int i = 0; i < NOutChannels(); ++i) mOutChannels.Get(i)->mScratchBuf.Resize(0);
    }
    ZeroScratchBuffers();
    // Resizing may have moved the scratch buffers: every entry must point at the new ones,
    // including those of disconnected channels, which are read without being attached.
    for (int i = 0; i < NInChannels(); ++i) {
        InChannel* ch = mInChannels.Get(i);
        *ch->mSrc = ch->mScratchBuf.Get();
    }
    for (int i = 0; i < NOutChannels(); ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        *ch->mDest = ch->mScratchBuf.Get();
    }
    ForgetHostBuffers();
}

void IPlugBase::ZeroScratchBuffers() {
    for (int i = 0; i < NInChannels(); ++i) mInChannels.Get(i)->mScratchBuf.ZeroFill();
    for (int i = 0; i < NOutChannels(); ++i) mOutChannels.Get(i)->mScratchBuf.ZeroFill();
}

void IPlugBase::SetInputChannelConnections(int idx, int n, bool connected) {
    const int end = RangeEnd(idx, n, NInChannels());
    for (int i = idx < 0 ? 0 : idx; i < end; ++i) {
        InChannel* ch = mInChannels.Get(i);
        ch->mConnected = connected;
        if (!connected) {
            *ch->mSrc = ch->mScratchBuf.Get();
            ch->mFSrc = nullptr;
            ch->mFSrcFrames = 0;
        }
    }
}

void IPlugBase::SetOutputChannelConnections(int idx, int n, bool connected) {
    const int end = RangeEnd(idx, n, NOutChannels());
    for (int i = idx < 0 ? 0 : idx; i < end; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        ch->mConnected = connected;
        if (!connected) {
            *ch->mDest = ch->mScratchBuf.Get();
            ch->mFDest = nullptr;
        }
    }
}

void IPlugBase::AttachInputBuffers(int idx, int n, float** ppData, int nFrames) {
    if (mBlockSize <= 0 || nFrames <= 0 || !ppData) return;
    // Only channels in range change: a host may attach its channels in several calls (one port
    // at a time), each of which must survive the others until the block runs.
    const int end = RangeEnd(idx, n, NInChannels());
    const int first = nFrames < mBlockSize ? nFrames : mBlockSize;
    float** next = ppData;
    for (int i = idx < 0 ? 0 : idx; i < end; ++i) {
        InChannel* ch = mInChannels.Get(i);
        if (!ch->mConnected) continue;
        ch->mFSrc = *next++;
        ch->mFSrcFrames = nFrames;
        *ch->mSrc = ch->mScratchBuf.Get();
        ConvertInput(ch, 0, first);
    }
}

void IPlugBase::AttachOutputBuffers(int idx, int n, float** ppData) {
    if (mBlockSize <= 0 || !ppData) return;
    const int end = RangeEnd(idx, n, NOutChannels());
    float** next = ppData;
    for (int i = idx < 0 ? 0 : idx; i < end; ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->mConnected) continue;
        *ch->mDest = ch->mScratchBuf.Get();
        ch->mFDest = *next++;
    }
}

void IPlugBase::ConvertInput(InChannel* ch, int offset, int nFrames) {
    if (!ch->mConnected || !ch->mFSrc) return;
    double* dest = ch->mScratchBuf.Get();
    // Frames the caller did not attach read as silence.
    int avail = ch->mFSrcFrames - offset;
    if (avail > nFrames) avail = nFrames;
    if (avail < 0) avail = 0;
    const float* src = ch->mFSrc + offset;
    for (int s = 0; s < avail; ++s) dest[s] = src[s];
    for (int s = avail; s < nFrames; ++s) dest[s] = 0.0;
}

void IPlugBase::ConvertInputs(int offset, int nFrames) {
    for (int i = 0; i < NInChannels(); ++i) ConvertInput(mInChannels.Get(i), offset, nFrames);
}

void IPlugBase::ConvertOutputs(int offset, int nFrames) {
    for (int i = 0; i < NOutChannels(); ++i) {
        OutChannel* ch = mOutChannels.Get(i);
        if (!ch->mConnected || !ch->mFDest) continue;
        const double* src = ch->mScratchBuf.Get();
        float* dest = ch->mFDest + offset;
        for (int s = 0; s < nFrames; ++s) dest[s] = static_cast<float>(src[s]);
    }
}

void IPlugBase::ProcessBuffers(float /*sampleType*/, int nFrames) {
    if (mBlockSize > 0) {
        for (int offset = 0; offset < nFrames; offset += mBlockSize) {
            const int piece = nFrames - offset < mBlockSize ? nFrames - offset : mBlockSize;
            if (offset > 0) ConvertInputs(offset, piece);
            ProcessDoubleReplacing(mInData.Get(), mOutData.Get(), piece);
            ConvertOutputs(offset, piece);
        }
    }
    ForgetHostBuffers();
}

void IPlugBase::PassThroughBuffers(float /*sampleType*/, int nFrames) {
    if (mBlockSize > 0) {
        for (int offset = 0; offset < nFrames; offset += mBlockSize) {
            const int piece = nFrames - offset < mBlockSize ? nFrames - offset : mBlockSize;
            if (offset > 0) ConvertInputs(offset, piece);
            PassThroughPiece(piece);
            ConvertOutputs(offset, piece);
        }
    }
    ForgetHostBuffers();
}

void IPlugBase::ForgetHostBuffers() {
    // The host's buffers are valid for one call only; a later call that attaches fewer channels
    // must neither read the old inputs nor write the old outputs.
    for (int i = 0; i < NInChannels(); ++i) {
        InChannel* ch = mInChannels.Get(i);
        ch->mFSrc = nullptr;
        ch->mFSrcFrames = 0;
    }
    for (int i = 0; i < NOutChannels(); ++i) mOutChannels.Get(i)->mFDest = nullptr;
}

void IPlugBase::PassThroughBuffers(double /*sampleType*/, int nFrames) {
    if (mBlockSize <= 0 || nFrames <= 0) return;
    PassThroughPiece(nFrames < mBlockSize ? nFrames : mBlockSize);
}

void IPlugBase::PassThroughPiece(int nFrames) {
    double** in = mInData.Get();
    double** out = mOutData.Get();
    const int nIn = NInChannels();
    const int nOut = NOutChannels();
    const size_t bytes = static_cast<size_t>(nFrames) * sizeof(double);
    const bool delayed = mLatency > 0 && mDelay && mDelay->GetDelay() > 0;
    if (delayed) mDelay->Process(in, out, nIn, nOut, nFrames);
    for (int c = 0; c < nOut; ++c) {
        if (!out[c]) continue;
        if (c < nIn && in[c]) {
            if (!delayed && in[c] != out[c]) std::memmove(out[c], in[c], bytes);
        } else {
            // No input for this output: silence, never what a previous block left there.
            std::memset(out[c], 0, bytes);
        }
    }
}
