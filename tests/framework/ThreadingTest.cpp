#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "framework/IPlugBase.h"

namespace {

constexpr int kParams = 8;

// A plug-in whose reactions keep a plain mirror of every parameter. The mirror and the
// parameters are touched only under the plug-in mutex, so the audio thread must always find them
// equal and unchanged for the whole block; ThreadSanitizer reports any access the mutex fails to
// order.
class MirrorPlug : public IPlugBase {
  public:
    MirrorPlug()
        : IPlugBase(kParams, "2-2", 0, "Mirror", "Mirror", "Test", 1, 1, 1, 0, false, false, false,
                    kAPIRTAS) {
        for (int i = 0; i < kParams; ++i) GetParam(i)->InitDouble("P", 0.0, 0.0, 1e6, 1.0);
        SetInputChannelConnections(0, 2, true);
        SetOutputChannelConnections(0, 2, true);
        SetBlockSize(64);
    }

    void OnParamChange(int paramIdx) override {
        WDL_MutexLock lock(&mMutex);  // re-entered: the caller already holds it
        if (paramIdx >= 0 && paramIdx < kParams) mirror[paramIdx] = GetParam(paramIdx)->Value();
    }

    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override {
        double before[kParams];
        for (int i = 0; i < kParams; ++i) {
            before[i] = GetParam(i)->Value();
            if (mirror[i] != before[i]) ++inconsistent;
        }
        for (int k = 0; k < 3; ++k) std::this_thread::yield();  // widen the window for intruders
        IPlugBase::ProcessDoubleReplacing(inputs, outputs, nFrames);
        for (int i = 0; i < kParams; ++i)
            if (GetParam(i)->Value() != before[i]) ++changedDuringBlock;
        ++blocks;
    }

    // Host adapter stand-ins; called under the mutex.
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int, double) override { ++informed; }
    void EndInformHostOfParamChange(int) override {}
    void InformHostOfProgramChange() override {}
    double GetSamplePos() override { return 0.0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int*, int*) override {}
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return false; }

    double mirror[kParams] = {};
    int inconsistent = 0;
    int changedDuringBlock = 0;
    int blocks = 0;
    int informed = 0;
};

}  // namespace

TEST(PlugMutex, SerialisesBlocksAgainstParameterChangesAndStateRestores) {
    MirrorPlug plug;
    constexpr int kBlocks = 1500, kChanges = 1500, kRestores = 300;

    std::atomic<bool> go{false};
    std::thread audio([&] {
        while (!go) std::this_thread::yield();
        std::vector<float> in(64, 0.25f), out(64);
        float* ins[] = {in.data(), in.data()};
        float* outs[] = {out.data(), out.data()};
        for (int b = 0; b < kBlocks; ++b) {
            // Like the host adapter's render call: connections without the lock, block under it.
            plug.SetInputChannelConnections(0, 2, true);
            WDL_MutexLock lock(plug.GetMutex());
            plug.AttachInputBuffers(0, 2, ins, 64);
            plug.AttachOutputBuffers(0, 2, outs);
            plug.ProcessBuffers(0.0f, 64);
        }
    });
    std::thread gui([&] {
        while (!go) std::this_thread::yield();
        for (int k = 0; k < kChanges; ++k) plug.SetParameterFromGUI(k % kParams, (k % 1000 + 1) / 1001.0);
    });
    std::thread state([&] {
        while (!go) std::this_thread::yield();
        for (int k = 0; k < kRestores; ++k) {
            ByteChunk chunk;
            plug.SerializeState(&chunk);
            ByteChunk next;
            for (int i = 0; i < kParams; ++i) {
                const double v = k * 10.0 + i;
                next.Put(&v);
            }
            plug.UnserializeState(k % 2 ? &chunk : &next, 0);
        }
    });
    go = true;
    audio.join();
    gui.join();
    state.join();

    WDL_MutexLock lock(plug.GetMutex());
    EXPECT_EQ(plug.blocks, kBlocks);
    EXPECT_EQ(plug.informed, kChanges);
    EXPECT_EQ(plug.inconsistent, 0);
    EXPECT_EQ(plug.changedDuringBlock, 0);
}
