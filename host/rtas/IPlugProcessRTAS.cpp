#include "host/rtas/IPlugProcessRTAS.h"

#include <algorithm>

#include "host/rtas/IPlugRTAS.h"

IPlugProcessRTAS::IPlugProcessRTAS(OSType chunkID) : IPlugProcess(chunkID) {
    // One pointer per host buffer: the insert's channels plus a possible side-chain input.
    const int inputs = std::max(GetNumInputs(), mPlug ? mPlug->NInChannels() : 0) + 1;
    const int outputs = std::max(GetNumOutputs(), mPlug ? mPlug->NOutChannels() : 0);
    mInPieces.assign(static_cast<size_t>(inputs), nullptr);
    mOutPieces.assign(static_cast<size_t>(outputs), nullptr);
    if (mPlug) mPlug->Created(this);
}

void IPlugProcessRTAS::RenderAudio(float** inputs, float** outputs, int32_t nFrames) {
    if (nFrames <= 0 || !inputs || !outputs) return;
    if (!mPlug) {
        // No plug-in: the insert is silent rather than leaving the host's buffers as they were.
        for (int c = 0; c < GetNumOutputs(); ++c) std::fill(outputs[c], outputs[c] + nFrames, 0.0f);
        return;
    }
    const int nInputs = GetNumInputs();
    const int nOutputs = GetNumOutputs();
    mPlug->SetIO(nInputs, nOutputs);

    const int inBuffers =
        std::min(nInputs + (mPlug->IsSideChainConnected() ? 1 : 0), static_cast<int>(mInPieces.size()));
    const int outBuffers = std::min(nOutputs, static_cast<int>(mOutPieces.size()));
    const int block = mPlug->GetBlockSize();
    if (block <= 0) return;
    const bool bypassed = IsBypassed();
    for (int32_t done = 0; done < nFrames;) {
        const int piece = static_cast<int>(std::min<int32_t>(block, nFrames - done));
        for (int c = 0; c < inBuffers; ++c) mInPieces[c] = inputs[c] + done;
        for (int c = 0; c < outBuffers; ++c) mOutPieces[c] = outputs[c] + done;
        if (bypassed) {
            mPlug->ProcessAudioBypassed(mInPieces.data(), mOutPieces.data(), piece);
        } else {
            mPlug->ProcessAudio(mInPieces.data(), mOutPieces.data(), piece);
        }
        done += piece;
    }
}

void IPlugProcessRTAS::ConnectSideChain() {
    if (mPlug) mPlug->SetSideChainConnected(true);
}

void IPlugProcessRTAS::DisconnectSideChain() {
    if (mPlug) mPlug->SetSideChainConnected(false);
}
