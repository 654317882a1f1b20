#include "plugin/Quenlix.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "meters/SampleCount.h"
#include "plugin/QuenlixChannelDefaults.h"
#include "plugin/QuenlixIdentity.h"

namespace {

constexpr int kNumPresets = 3;
constexpr const char* kProductName = "";
constexpr int kLatency = 0;
constexpr int kSideChainChannels = 0;

// The RMS engine's fixed window limits (ms) and window overlap.
constexpr double kRmsMinWindowMs = 10.0;
constexpr double kRmsMaxWindowMs = 3000.0;
constexpr double kRmsOverlap = 0.75;
// RMS offset of the meter mode "RMS +3dB (dBFS)", in dB.
constexpr double kRmsPlus3OffsetDb = 3.0;

}  // namespace

IPlugAdapter* MakePlug() {
    // Serialises the creation of instances across the host's threads. A function-local static is
    // created exactly once even under concurrent first calls and destroyed when the module unloads.
    static std::recursive_mutex creationMutex;
    std::lock_guard<std::recursive_mutex> lock(creationMutex);
    return new Quenlix(IPlugInstanceInfo());
}

Quenlix::Quenlix(IPlugInstanceInfo instanceInfo)
    : IPlugAdapter(instanceInfo, kNumParams, quenlix::kChannelIOStr, kNumPresets, quenlix::kEffectName,
                   kProductName, quenlix::kMfrName, quenlix::kVendorVersion,
                   static_cast<int>(quenlix::kUniqueID), static_cast<int>(quenlix::kMfrID), kLatency, false,
                   false, false, kSideChainChannels),
      mMeterSampleRate(meters::UsableSampleRate(GetSampleRate())),
      mNumInputs(NInChannels()),
      mNumOutputs(NOutChannels()) {
    mRmsMeter = std::make_unique<RMSMM6>();
    const bool rmsReady = mRmsMeter->Init(kRmsMinWindowMs, kRmsMaxWindowMs, kRmsOverlap, mMeterSampleRate);
    ApplyRmsWindowAndMode();

    mEbuMeter = std::make_unique<EBUMM6>();
    mEnginesReady = mEbuMeter->Init(mMeterSampleRate) && rmsReady;

    ComputeRefreshPeriods();

    DefineParams();
    BuildEditor();
    MakePresets();
    AttachVersionText();
    UpdateGUI();
}

Quenlix::~Quenlix() {
    mRmsMeter.reset();
    mEbuMeter.reset();
}

void Quenlix::DefineParams() {
    for (int i = 0; i < kNumParams; ++i) InitParamFromDef(GetParam(i), quenlix::kParams[i].def);
}

int Quenlix::GetReadoutTextControl(int paramIdx) const {
    for (int i = 0; i < kNumRmsReadouts; ++i)
        if (quenlix::kRmsReadoutParams[i] == paramIdx) return mRmsReadouts[i];
    for (int i = 0; i < kNumEbuReadouts; ++i)
        if (quenlix::kEbuReadoutParams[i] == paramIdx) return mEbuReadouts[i];
    return -1;
}

void Quenlix::MakePresets() {
    // Named values are passed with the widths the preset maker reads: int for enums, double for doubles.
    MakePresetFromNamedParams("Default", 0);
    MakePresetFromNamedParams("RMS 300 ML", 2, static_cast<int>(kType), 0, static_cast<int>(kRmsWindow),
                              300.0);
    MakePresetFromNamedParams("EBU R128", 1, static_cast<int>(kType), 1);
}

void Quenlix::ComputeRefreshPeriods() {
    const double rate = meters::UsableSampleRate(mMeterSampleRate);
    // At least one sample, so a refresh can never fire on a counter that was not advanced.
    mDisplayPeriod = meters::TruncToCount(mDisplayIntervalMs * 0.001 * rate, 1, meters::kMaxRingSamples);
    mParamPeriod = meters::TruncToCount(mParamIntervalMs * 0.001 * rate, 1, meters::kMaxRingSamples);
    mDisplayCounter = 0;
    mParamCounter = 0;
}

void Quenlix::ApplyRmsWindowAndMode() {
    mRmsMeter->SetWindow(mRmsWindowMs);
    mRmsMeter->mRmsOffsetDb = 0.0;
    mRmsMeter->mPeakOffsetDb = 0.0;
    mRmsMeter->mCommonOffsetDb = 0.0;
    if (mRmsMeterMode == 1) mRmsMeter->mRmsOffsetDb = kRmsPlus3OffsetDb;
}

void Quenlix::OnResetRequest() {
    WDL_MutexLock lock(GetMutex());
    ResetMeters();
}

double Quenlix::GetDefaultForChannels(int paramIdx, int nIn) const {
    if (paramIdx == kRmsChannelConfig) return quenlix::RmsChannelConfigForChannels(nIn);
    if (paramIdx == kEbuChannelConfig) return quenlix::EbuChannelConfigForChannels(nIn);
    return IPlugAdapter::GetDefaultForChannels(paramIdx, nIn);
}

void Quenlix::ResetMeters() {
    mRmsMeter->Reset();
    mEbuMeter->Reset();
}

void Quenlix::Reconfigure() {
    ApplyRmsWindowAndMode();
    ResetMeters();
}

void Quenlix::OnParamChange(int paramIdx) {
    if (paramIdx >= kResetCommandFirst && paramIdx <= kResetCommandLast) {
        // Only a press on an LED meter may reset: the editor's button is down exactly then. The host
        // adapter decides when the reset runs (at once, or at the audio thread's next block).
        if (mEditor && mEditor->IsMouseDown()) ResetFromGUI();
        return;
    }

    WDL_MutexLock lock(GetMutex());

    const IParam* param = GetParam(paramIdx);
    if (!param) return;

    switch (paramIdx) {
        case kType:
            mMeterType = IParam::TruncToInt(param->Value());
            if (mEditor) mEditor->SetControlFromPlug(mBackgroundControl, static_cast<double>(mMeterType));
            UpdateGUI();
            Reconfigure();
            break;
        case kSync:
            mSync = IParam::TruncToInt(param->Value());
            ResetMeters();
            break;
        case kRmsChannelConfig:
            mRmsChannelConfig = IParam::TruncToInt(param->Value());
            Reconfigure();
            break;
        case kRmsMeterMode:
            mRmsMeterMode = IParam::TruncToInt(param->Value());
            Reconfigure();
            break;
        case kRmsWindow:
            mRmsWindowMs = param->Value();
            Reconfigure();
            break;
        case kEbuChannelConfig:
            mEbuChannelConfig = IParam::TruncToInt(param->Value());
            Reconfigure();
            break;
        default:
            break;  // output parameters: written by the driver, no reaction
    }
}

void Quenlix::Reset() {
    WDL_MutexLock lock(GetMutex());
    // A rate the engines cannot use (NaN, infinite, not positive) counts as 44100 Hz, the rate they
    // were set up for, so it neither re-initialises anything nor reaches the period arithmetic.
    const double rate = meters::UsableSampleRate(GetSampleRate());
    if (rate != mMeterSampleRate || !mEnginesReady) {
        mMeterSampleRate = rate;
        SampleRate_Changed();
    } else if (mSync != 0) {
        // A restart of the measurements, not of the audio: the engines keep their filters and
        // interpolators running, so the first block after it shows no step from silence.
        ResetMeters();
        ComputeRefreshPeriods();
    }
}

bool Quenlix::PrepareForSampleRate(std::string* why) {
    WDL_MutexLock lock(GetMutex());
    const double rate = GetSampleRate();
    char text[128];
    if (!(rate >= meters::kMinSampleRate)) {
        std::snprintf(text, sizeof text, "sample rate %g Hz is below %g Hz, the lowest the meters measure at",
                      rate, meters::kMinSampleRate);
        *why = text;
        return false;
    }
    Reset();
    if (!mEnginesReady) {
        std::snprintf(text, sizeof text, "no memory for the meters at %g Hz", rate);
        *why = text;
        return false;
    }
    return true;
}

void Quenlix::SampleRate_Changed() {
    WDL_MutexLock lock(GetMutex());
    const bool rmsReady = mRmsMeter->Init(kRmsMinWindowMs, kRmsMaxWindowMs, kRmsOverlap, mMeterSampleRate);
    ApplyRmsWindowAndMode();
    mRmsMeter->Reset();
    mEnginesReady = mEbuMeter->Init(mMeterSampleRate) && rmsReady;
    mEbuMeter->Reset();
    ComputeRefreshPeriods();
}

void Quenlix::UpdateGUI() {
    WDL_MutexLock lock(GetMutex());
    if (!mEditor) return;
    if (mMeterType != 0 && mMeterType != 1) return;

    // Each type's settings, then its read-outs, RMS first: the other type's controls hide.
    for (const quenlix::MeterTypeOf type : {quenlix::kRmsType, quenlix::kEbuType}) {
        const bool hide = type != mMeterType;
        for (int idx : quenlix::kSettingParams)
            if (quenlix::kParams[idx].type == type) mEditor->HideControl(idx, hide);
        const bool rms = type == quenlix::kRmsType;
        const int* readouts = rms ? mRmsReadouts : mEbuReadouts;
        for (int i = 0; i < (rms ? kNumRmsReadouts : kNumEbuReadouts); ++i)
            if (IControl* c = mEditor->GetControl(readouts[i])) c->Hide(hide);
    }
}
