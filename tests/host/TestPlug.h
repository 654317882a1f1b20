#pragma once

// A small plug-in on the RTAS adapter for the adapter's tests: one parameter of each type, an
// output parameter it writes every block, a headless editor with probe controls, and counters
// for what the adapter calls.

#include <atomic>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphicsHeadless.h"
#include "host/rtas/IPlugRTAS.h"
#include "host/rtas/format/FourCharCode.h"

enum TestParam { kPower = 0, kCount, kMode, kGain, kOutLevel, kHidden, kNumTestParams };

// Counts draws and keeps the last value the plug-in side pushed.
class ProbeControl : public IControl {
  public:
    ProbeControl(IPlugBase* plug, IRECT rect, int paramIdx) : IControl(plug, rect, paramIdx) {}
    bool Draw(IGraphics*) override {
        ++mDraws;
        return true;
    }
    int mDraws = 0;
};

class TestPlug : public IPlugRTAS {
  public:
    static constexpr int kWidth = 120;
    static constexpr int kHeight = 60;

    explicit TestPlug(IPlugInstanceInfo info);
    ~TestPlug() override;

    void Reset() override;
    void OnParamChange(int paramIdx) override;
    void OnGUIOpen() override { ++mGUIOpens; }
    // Output = 2 x input (so a bypassed block is told apart), the output parameter follows the
    // block's last input sample.
    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;

    IGraphicsHeadless* GetEditor() const { return static_cast<IGraphicsHeadless*>(GetGUI()); }
    ProbeControl* GetGainProbe() const { return mGainProbe; }

    std::vector<int> mParamChanges;
    int mResets = 0;
    int mGUIOpens = 0;
    std::atomic<int> mBlocks{0};
    std::atomic<int> mLargestBlock{0};
    std::atomic<long> mFramesProcessed{0};
    // Written in two halves by OnParamChange (kGain); a block sees them equal unless a change
    // interleaved with it.
    volatile double mGainA = 0.0;
    volatile double mGainB = 0.0;
    std::atomic<int> mTornReads{0};

  private:
    ProbeControl* mGainProbe = nullptr;
};

// Test switches read by MakePlug.
extern bool gMakePlugThrows;
extern bool gMakePlugReturnsNull;
extern TestPlug* gLastPlug;
