// A small plug-in for the editor tests: a handful of parameters of every type and a record of what the
// editor told it (host notifications, parameter reactions, whether a mouse press was under way).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

class TestPlug : public IPlugBase {
  public:
    enum EParams {
        kMode = 0,  // enum, five named entries "Alpha".."Echo"
        kGain,      // double -60..12, step 0.1
        kCount,     // int 0..100
        kFlag,      // bool without display texts
        kNegated,   // double -20..0 shown negated (an attenuation shown as a positive number)
        kFour,      // enum, four named entries
        kNumParams
    };

    TestPlug()
        : IPlugBase(kNumParams, "2-2", 0, "Test", "Test", "Test", 0x10000, 1, 2, 0, false, false, false, 3) {
        GetParam(kMode)->InitEnum("Mode", 1, 5);
        const char* modes[] = {"Alpha", "Bravo", "Charlie", "Delta", "Echo"};
        for (int i = 0; i < 5; ++i) GetParam(kMode)->SetDisplayText(i, modes[i]);
        GetParam(kGain)->InitDouble("Gain", -20.0, -60.0, 12.0, 0.1, "dB");
        GetParam(kCount)->InitInt("Count", 10, 0, 100);
        GetParam(kFlag)->InitBool("Flag", false);
        GetParam(kNegated)->InitDouble("Neg", -5.0, -20.0, 0.0, 0.1, "dB");
        GetParam(kNegated)->SetNegateDisplay(true);
        GetParam(kFour)->InitEnum("Four", 0, 4);
        const char* four[] = {"One", "Two", "Three", "Four"};
        for (int i = 0; i < 4; ++i) GetParam(kFour)->SetDisplayText(i, four[i]);
    }

    // The editor this plug-in owns (attached through AttachGraphics), or null.
    IGraphics* Editor() const { return static_cast<IGraphics*>(GetGUI()); }

    void OnParamChange(int paramIdx) override {
        WDL_MutexLock lock(GetMutex());
        mChanges.push_back(paramIdx);
        IGraphics* g = Editor();
        mChangeDuringPress.push_back(g && g->IsMouseDown());
    }
    void BeginInformHostOfParamChange(int paramIdx) override { mBegins.push_back(paramIdx); }
    void InformHostOfParamChange(int paramIdx, double normalized) override {
        mInforms.push_back(paramIdx);
        mInformedValues.push_back(normalized);
    }
    void EndInformHostOfParamChange(int paramIdx) override { mEnds.push_back(paramIdx); }
    void InformHostOfProgramChange() override {}
    double GetSamplePos() override { return 0.0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int* num, int* denom) override { *num = 4, *denom = 4; }
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiMsg(IMidiMsg*) override { return false; }

    std::vector<int> mChanges;
    std::vector<bool> mChangeDuringPress;
    std::vector<int> mBegins, mInforms, mEnds;
    std::vector<double> mInformedValues;
};
