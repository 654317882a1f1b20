#pragma once

#include "framework/WDL_String.h"
#include "framework/WDL_TypedBuf.h"

// One supported input/output channel-count pair of the plug-in.
struct ChannelIOPair {
    int mIn = 0;
    int mOut = 0;
};

// One plug-in input channel. mSrc points at this channel's entry of the base's input pointer
// array; the entry points at mScratchBuf, which holds one block of samples.
struct InChannel {
    bool mConnected = false;
    double** mSrc = nullptr;                    // not owned
    WDL_TypedBuf<double> mScratchBuf{8 * 256};  // block-size doubles
    WDL_String mLabel;
    // Host buffer attached for the current call and its frame count, so that a call longer than
    // the block size can be converted piece by piece. Each channel keeps its own count: a host
    // may attach its channels in several calls.
    const float* mFSrc = nullptr;  // not owned
    int mFSrcFrames = 0;
};

// One plug-in output channel. mDest points at this channel's entry of the base's output pointer
// array; mFDest is the host's float buffer for the current call (null until attached).
struct OutChannel {
    bool mConnected = false;
    double** mDest = nullptr;                   // not owned
    float* mFDest = nullptr;                    // not owned
    WDL_TypedBuf<double> mScratchBuf{8 * 256};  // block-size doubles
    WDL_String mLabel;
};
