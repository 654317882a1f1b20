#pragma once

#include <vector>

#include "host/rtas/IPlugProcess.h"

// The RTAS process of one plug-in instance: announces itself to the plug-in on creation and
// renders audio blocks through it.
class IPlugProcessRTAS : public IPlugProcess {
  public:
    // Main thread. Creates the plug-in (IPlugProcess) and calls its Created.
    explicit IPlugProcessRTAS(OSType chunkID);

    // Audio thread. Sets the plug-in's channel connections from the insert's counts and runs
    // the block, bypassed or processed, in pieces of at most the plug-in's block size (the
    // host's maximum quantum), so a longer call never overruns a scratch buffer. Allocation-free.
    void RenderAudio(float** inputs, float** outputs, int32_t nFrames) override;

    // Main thread, never during a block.
    void ConnectSideChain() override;
    void DisconnectSideChain() override;

  private:
    std::vector<float*> mInPieces;  // per-piece buffer pointers, sized at construction
    std::vector<float*> mOutPieces;
};
