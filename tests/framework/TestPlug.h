#pragma once

#include <vector>

#include "framework/IPlugBase.h"

// A small plug-in on the framework base with a recording stand-in for the host adapter's hooks.
// Parameters: 0 "Type" enum (2 entries), 1 "Window" double 10..3000 ms shape 2.5,
// 2 "Gain" double -12..12 dB step 0.1, then plain doubles up to nParams.
class TestPlug : public IPlugBase {
  public:
    struct HostCall {
        int paramIdx;
        double value;
    };

    explicit TestPlug(int nParams = 19, const char* channelIO = "1-1 2-2 4-4 5-5 6-6", int nPresets = 3,
                      int latency = 0)
        : IPlugBase(nParams, channelIO, nPresets, "TestEffect", "TestProduct", "TestMaker", 0x10300,
                    0x54655354, 0x544d6b72, latency, false, false, false, kAPIRTAS) {
        if (nParams > 0) {
            GetParam(0)->InitEnum("Type", 0, 2);
            GetParam(0)->SetDisplayText(0, "RMS");
            GetParam(0)->SetDisplayText(1, "EBU R128");
        }
        if (nParams > 1) GetParam(1)->InitDouble("Window", 300.0, 10.0, 3000.0, 1.0, "ms", "", 2.5);
        if (nParams > 2) GetParam(2)->InitDouble("Gain", 0.0, -12.0, 12.0, 0.1, "dB");
        for (int i = 3; i < nParams; ++i) GetParam(i)->InitDouble("Out", -144.0, -144.0, 12.0, 0.1, "dBFS");
    }

    // Host adapter stand-ins.
    void BeginInformHostOfParamChange(int paramIdx) override { begun.push_back(paramIdx); }
    void InformHostOfParamChange(int paramIdx, double value) override {
        informed.push_back({paramIdx, value});
    }
    void EndInformHostOfParamChange(int paramIdx) override { ended.push_back(paramIdx); }
    void InformHostOfProgramChange() override {}
    double GetSamplePos() override { return 0.0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int* pNum, int* pDenom) override { *pNum = *pDenom = 4; }
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return false; }

    void OnParamChange(int paramIdx) override {
        IPlugBase::OnParamChange(paramIdx);
        changes.push_back(paramIdx);
        if (GetParam(paramIdx)) valuesSeen.push_back(GetParam(paramIdx)->Value());
    }

    void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override {
        blockSizes.push_back(nFrames);
        if (gain == 1.0) return IPlugBase::ProcessDoubleReplacing(inputs, outputs, nFrames);
        for (int c = 0; c < NOutChannels(); ++c)
            for (int s = 0; s < nFrames; ++s) outputs[c][s] = (c < NInChannels() ? inputs[c][s] : 0.0) * gain;
    }

    // Raw views for tests.
    double** InData() const { return GetInData(); }
    double** OutData() const { return GetOutData(); }
    void MakeDelayLine() { CreateLatencyDelayLine(); }

    double gain = 1.0;
    std::vector<int> begun, ended, changes, blockSizes;
    std::vector<HostCall> informed;
    std::vector<double> valuesSeen;
};
