#pragma once

// A host for the plug-in tests: drives a Quenlix instance through the base's float block entry points
// the way the host adapter does (connections, attach, process under the plug-in mutex), with a
// transport it controls and a fixed-size record of what the plug-in told the host.

#include <cmath>
#include <cstddef>
#include <functional>
#include <vector>

#include "editor/IControl.h"
#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "plugin/Quenlix.h"

// Quenlix with the host's side of the transport and of the parameter reports replaced.
class TestQuenlix : public Quenlix {
  public:
    TestQuenlix() : Quenlix(IPlugInstanceInfo()) {}

    // Audio thread, inside the block: what the host's transport says.
    void GetTime(ITimeInfo* info) override {
        info->mTransportIsRunning = mTransportRunning;
        ++mGetTimeCalls;
        if (mOnGetTime) mOnGetTime();
    }

    // Records without allocating, so the allocation count of a block stays honest.
    void InformHostOfParamChange(int paramIdx, double value) override {
        ++mInformCount;
        if (paramIdx >= 0 && paramIdx < kNumParams) {
            ++mInformsPerParam[paramIdx];
            mLastInformed[paramIdx] = value;
        }
    }

    bool mTransportRunning = false;
    int mGetTimeCalls = 0;
    std::function<void()> mOnGetTime;  // runs inside the block
    long mInformCount = 0;
    long mInformsPerParam[kNumParams] = {};
    double mLastInformed[kNumParams] = {};
};

// Drives a plug-in: nChannels host channels connected (the rest disconnected), float blocks.
class PluginHost {
  public:
    explicit PluginHost(TestQuenlix& plug, int nChannels = 2, int maxBlock = 8192)
        : mPlug(plug), mChannels(nChannels), mIn(6), mOut(6) {
        mPlug.SetBlockSize(maxBlock);
        SetChannels(nChannels);
        for (auto& b : mIn) b.assign(maxBlock, 0.0f);
        for (auto& b : mOut) b.assign(maxBlock, 0.0f);
    }

    void SetChannels(int n) {
        mChannels = n;
        mPlug.SetInputChannelConnections(0, n, true);
        mPlug.SetInputChannelConnections(n, 6 - n, false);
        mPlug.SetOutputChannelConnections(0, n, true);
        mPlug.SetOutputChannelConnections(n, 6 - n, false);
    }

    void SetSampleRateAndReset(double rate) {
        mPlug.SetSampleRate(rate);
        mPlug.Reset();
    }

    // One block of nFrames from the input buffers (nFrames <= maxBlock).
    void Block(int nFrames) {
        float* in[6];
        float* out[6];
        for (int c = 0; c < 6; ++c) {
            in[c] = mIn[c].data();
            out[c] = mOut[c].data();
        }
        WDL_MutexLock lock(mPlug.GetMutex());
        mPlug.AttachInputBuffers(0, mChannels, in, nFrames);
        mPlug.AttachOutputBuffers(0, mChannels, out);
        mPlug.ProcessBuffers(0.0f, nFrames);
    }

    // Runs `total` frames in blocks of `blockSize`, each channel's sample i of the whole run given by
    // signal(channel, i).
    void Run(long total, int blockSize, const std::function<float(int, long)>& signal) {
        for (long done = 0; done < total;) {
            const int n = static_cast<int>(std::min<long>(blockSize, total - done));
            for (int c = 0; c < mChannels; ++c)
                for (int i = 0; i < n; ++i) mIn[c][i] = signal(c, done + i);
            Block(n);
            done += n;
        }
    }

    // The same constant value on every connected channel.
    void RunConstant(long total, float value, int blockSize = 1024) {
        Run(total, blockSize, [value](int, long) { return value; });
    }

    void RunSine(long total, double amplitude, double freqHz, double rate = 44100.0, int blockSize = 1024) {
        const double w = 2.0 * M_PI * freqHz / rate;
        Run(total, blockSize, [&](int, long i) {
            return static_cast<float>(amplitude * std::sin(w * static_cast<double>(i)));
        });
    }

    std::vector<float>& In(int c) { return mIn[c]; }
    std::vector<float>& Out(int c) { return mOut[c]; }

  private:
    TestQuenlix& mPlug;
    int mChannels;
    std::vector<std::vector<float>> mIn;
    std::vector<std::vector<float>> mOut;
};

// Control indices of the layout.
namespace layout {
constexpr int kBackground = 14;
constexpr int kTypeSelector = 15;
constexpr int kSyncSelector = 16;
constexpr int kRmsChannelSelector = 17;
constexpr int kRmsModeSelector = 18;
constexpr int kWindowField = 19;
constexpr int kEbuChannelSelector = 20;
constexpr int kFirstRmsReadout = 21;  // IL, ML, ML Max, Peak Max, TP Max, Crest
constexpr int kFirstEbuReadout = 27;  // IL, ML, ML Max, SL, SL Max, TP Max, LRA
inline int LedMeter(int k) {
    return 34 + 3 * k;
}  // k = 0 .. 5
inline int PeakReadout(int k) {
    return 35 + 3 * k;
}
inline int ClipLamp(int k) {
    return 36 + 3 * k;
}
constexpr int kVersionText = 52;
constexpr int kNumControls = 53;
}  // namespace layout

inline const char* ReadoutText(Quenlix& plug, int controlIdx) {
    auto* text = dynamic_cast<ITextControl*>(plug.GetEditor()->GetControl(controlIdx));
    return text ? text->GetTextForPlug() : "<not a read-out>";
}

inline double ControlValue(Quenlix& plug, int controlIdx) {
    return plug.GetEditor()->GetControl(controlIdx)->GetValue();
}

inline double ParamValue(Quenlix& plug, int paramIdx) {
    return plug.GetParam(paramIdx)->Value();
}

// Sets a parameter the way the host adapter does: value stored, then the reaction, under the mutex.
inline void HostSetsParam(Quenlix& plug, int paramIdx, double value) {
    WDL_MutexLock lock(plug.GetMutex());
    if (plug.GetEditor()) plug.GetEditor()->SetParameterFromPlug(paramIdx, value, false);
    plug.GetParam(paramIdx)->Set(value);
    plug.OnParamChange(paramIdx);
}

// Amplitude of a level in dBFS.
inline float Amplitude(double levelDb) {
    return static_cast<float>(std::pow(10.0, levelDb / 20.0));
}
