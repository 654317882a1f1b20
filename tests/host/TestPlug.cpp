#include "tests/host/TestPlug.h"

#include <chrono>
#include <stdexcept>
#include <thread>

bool gMakePlugThrows = false;
bool gMakePlugReturnsNull = false;
TestPlug* gLastPlug = nullptr;

IPlugRTAS* MakePlug() {
    if (gMakePlugThrows) throw std::runtime_error("cannot build the plug-in");
    if (gMakePlugReturnsNull) return nullptr;
    gLastPlug = new TestPlug(IPlugInstanceInfo());
    return gLastPlug;
}

TestPlug::TestPlug(IPlugInstanceInfo info)
    : IPlugRTAS(info, kNumTestParams, "1-1 2-2 4-4 5-5 6-6", 3, "TestPlug", "", "Tester", 0x10000,
                static_cast<int>(FourCharCode("TPLG")), static_cast<int>(FourCharCode("TMFR")), 0, false,
                false, false, 0) {
    GetParam(kPower)->InitBool("Power", true);
    GetParam(kCount)->InitInt("Count", 1, -2, 5);
    GetParam(kMode)->InitEnum("Mode", 0, 3);
    GetParam(kMode)->SetDisplayText(0, "Soft");
    GetParam(kMode)->SetDisplayText(1, "Medium");
    GetParam(kMode)->SetDisplayText(2, "Hard");
    GetParam(kGain)->InitDouble("Gain", 0.0, -60.0, 12.0, 0.1, "dB");
    GetParam(kOutLevel)->InitDouble("OUT:Level", -60.0, -60.0, 12.0, 0.1, "dBFS");
    GetParam(kHidden)->InitDouble("Hidden", 5.0, 0.0, 10.0, 1.0, "");
    GetParam(kHidden)->SetCanAutomate(false);

    auto* gui = new IGraphicsHeadless(this, kWidth, kHeight, 25);
    gui->AttachControl(new ProbeControl(this, IRECT(0, 0, kWidth, kHeight), -1));
    mGainProbe = new ProbeControl(this, IRECT(10, 10, 50, 30), kGain);
    gui->AttachControl(mGainProbe);
    AttachGraphics(gui);

    MakePresetFromNamedParams("Default", 0);
    MakePresetFromNamedParams("Loud", 1, kGain, 6.0);
}

TestPlug::~TestPlug() {
    if (gLastPlug == this) gLastPlug = nullptr;
}

void TestPlug::Reset() {
    WDL_MutexLock lock(&mMutex);
    ++mResets;
}

void TestPlug::OnParamChange(int paramIdx) {
    WDL_MutexLock lock(&mMutex);
    mParamChanges.push_back(paramIdx);
    if (paramIdx == kGain) {
        mGainA = GetParam(kGain)->Value();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        mGainB = GetParam(kGain)->Value();
    }
}

void TestPlug::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    if (mGainA != mGainB) ++mTornReads;
    for (int c = 0; c < NOutChannels(); ++c) {
        for (int s = 0; s < nFrames; ++s) outputs[c][s] = 2.0 * inputs[c][s];
    }
    if (nFrames > mLargestBlock) mLargestBlock = nFrames;
    mFramesProcessed += nFrames;
    ++mBlocks;
    if (nFrames > 0) {
        GetParam(kOutLevel)->Set(inputs[0][nFrames - 1]);
        InformHostOfParamChange(kOutLevel, 0.0);
    }
}
