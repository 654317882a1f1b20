#include "host/rtas/IPlugRTAS.h"

#include <cmath>

#include "framework/HostLookup.h"
#include "host/rtas/IPlugProcess.h"
#include "host/rtas/format/ControlEncoding.h"
#include "host/rtas/format/Transport.h"

namespace {

constexpr int kFirstParamControl = 2;
constexpr int kInitialBlockSize = 1024;

bool IsDiscreteParam(const IParam* param) {
    return param->Type() == IParam::kTypeBool || param->Type() == IParam::kTypeInt ||
           param->Type() == IParam::kTypeEnum;
}

}  // namespace

IPlugRTAS::IPlugRTAS(IPlugInstanceInfo /*instanceInfo*/, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                     int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                     bool plugIsInstrument, int plugSideChainChannels)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
                mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInstrument, kAPIRTAS),
      mAnnouncedParams(nParams) {
    if (NInChannels() > 0) CreateLatencyDelayLine();
    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
    mHasSideChain = plugSideChainChannels > 0;
    SetBlockSize(kInitialBlockSize);
}

IPlugRTAS::~IPlugRTAS() = default;

void IPlugRTAS::Created(IPlugProcess* process) {
    mProcess = process;
    PruneUninitializedPresets();
    if (mProcess) SetBlockSize(mProcess->GetMaximumRTASQuantum());
    OnHostIdentified();
}

void IPlugRTAS::ProcessAudio(float** inputs, float** outputs, int nFrames) {
    WDL_MutexLock lock(&mMutex);
    AttachInputBuffers(0, NInChannels(), inputs, nFrames);
    AttachOutputBuffers(0, NOutChannels(), outputs);
    ProcessBuffers(0.0f, nFrames);
}

void IPlugRTAS::ProcessAudioBypassed(float** inputs, float** outputs, int nFrames) {
    WDL_MutexLock lock(&mMutex);
    AttachInputBuffers(0, NInChannels(), inputs, nFrames);
    AttachOutputBuffers(0, NOutChannels(), outputs);
    PassThroughBuffers(0.0f, nFrames);
}

void IPlugRTAS::SetIO(int nInputs, int nOutputs) {
    auto clip = [](int n, int max) { return n < 0 ? 0 : (n > max ? max : n); };
    const int nIn = clip(nInputs + (mSideChainConnected ? 1 : 0), NInChannels());
    const int nOut = clip(nOutputs, NOutChannels());
    SetInputChannelConnections(0, nIn, true);
    SetInputChannelConnections(nIn, NInChannels() - nIn, false);
    SetOutputChannelConnections(0, nOut, true);
    SetOutputChannelConnections(nOut, NOutChannels() - nOut, false);
}

void IPlugRTAS::SetParameter(int hostControlIndex) {
    if (!mProcess) return;
    const int paramIdx = hostControlIndex - kFirstParamControl;
    IParam* param = GetParam(paramIdx);
    const CPluginControl* control = mProcess->GetControl(hostControlIndex);
    if (!param || !control) return;
    double value;
    if (IsDiscreteParam(param)) {
        value = ControlToDiscrete(control->GetValue(), static_cast<int>(control->GetMinimum()),
                                  static_cast<int>(control->GetMaximum()));
    } else if (param->Type() == IParam::kTypeDouble) {
        value = ControlToContinuous(control->GetValue(), control->GetMinimum(), control->GetMaximum());
    } else {
        return;
    }
    WDL_MutexLock lock(&mMutex);
    // The value in force again (automation playing a constant, a control surface re-sending) is no
    // change: it must not restart the measurements.
    double lo = 0.0, hi = 0.0;
    param->GetBounds(&lo, &hi);
    if (std::fmin(std::fmax(value, lo), hi) == param->Value()) return;
    if (GetGUI()) GetGUI()->SetParameterFromPlug(paramIdx, value, false);
    param->Set(value);
    OnParamChange(paramIdx);
}

void IPlugRTAS::SetSideChainConnected(bool connected) {
    if (connected == mSideChainConnected) return;
    mSideChainConnected = connected;
    ZeroScratchBuffers();
}

void IPlugRTAS::BeginInformHostOfParamChange(int paramIdx) {
    if (mProcess && GetParam(paramIdx)) mProcess->TouchControl(paramIdx + kFirstParamControl);
}

void IPlugRTAS::InformHostOfParamChange(int paramIdx, double /*normalizedValue*/) {
    if (!mProcess) return;
    const IParam* param = GetParam(paramIdx);
    const int index = paramIdx + kFirstParamControl;
    const CPluginControl* control = mProcess->GetControl(index);
    if (!param || !control) return;
    int32_t value;
    {
        // The value is read under the mutex; the host is told without it (it may wait for its audio
        // thread, which takes the mutex for every block).
        WDL_MutexLock lock(&mMutex);
        if (IsDiscreteParam(param)) {
            value = DiscreteToControl(param->Int(), static_cast<int>(control->GetMinimum()),
                                      static_cast<int>(control->GetMaximum()));
        } else if (param->Type() == IParam::kTypeDouble) {
            value = ContinuousToControl(param->Value(), control->GetMinimum(), control->GetMaximum());
        } else {
            return;
        }
    }
    mProcess->SetControlValue(index, value);
}

void IPlugRTAS::EndInformHostOfParamChange(int paramIdx) {
    if (mProcess && GetParam(paramIdx)) mProcess->ReleaseControl(paramIdx + kFirstParamControl);
}

void IPlugRTAS::InformHostOfProgramChange() {
    for (int i = 0; i < mAnnouncedParams; ++i) {
        BeginInformHostOfParamChange(i);
        InformHostOfParamChange(i, 0.0);
        EndInformHostOfParamChange(i);
    }
}

double IPlugRTAS::GetSamplePos() {
    const ITransport* transport = mProcess ? mProcess->GetTransport() : nullptr;
    return transport ? static_cast<double>(transport->GetCurrentSampleLocation()) : 0.0;
}

double IPlugRTAS::GetTempo() {
    const ITransport* transport = mProcess ? mProcess->GetTransport() : nullptr;
    return transport ? transport->GetCurrentTempo() : 0.0;
}

void IPlugRTAS::GetTimeSig(int* pNum, int* pDenom) {
    const ITransport* transport = mProcess ? mProcess->GetTransport() : nullptr;
    int32_t num = 0;
    int32_t denom = 0;
    if (transport) transport->GetCurrentMeter(&num, &denom);
    if (pNum) *pNum = num;
    if (pDenom) *pDenom = denom;
}

void IPlugRTAS::GetTime(ITimeInfo* pTimeInfo) {
    if (!pTimeInfo) return;
    const ITransport* transport = mProcess ? mProcess->GetTransport() : nullptr;
    pTimeInfo->mSamplePos = GetSamplePos();
    pTimeInfo->mTempo = GetTempo();
    GetTimeSig(&pTimeInfo->mNumerator, &pTimeInfo->mDenominator);
    pTimeInfo->mTransportIsRunning = transport && transport->IsTransportPlaying();
    pTimeInfo->mPPQPos = transport ? static_cast<double>(transport->GetCurrentTickPosition()) /
                                         static_cast<double>(ITransport::kTicksPerQuarterNote)
                                   : 0.0;
    pTimeInfo->mLastBar = 0.0;
    pTimeInfo->mCycleStart = 0.0;
    pTimeInfo->mCycleEnd = 0.0;
    pTimeInfo->mTransportLoopEnabled = false;
}

int IPlugRTAS::GetHost() {
    if (mHost == kHostUninit) {
        const int v = mProcess ? static_cast<int>(mProcess->GetHostVersion()) : 0;
        const int version = ((v * 16) & 0xFF0) | (((v * 16) & 0xFF000) * 10);
        SetHost("ProTools", version);
    }
    return mHost;
}

void IPlugRTAS::ResizeGraphics(int /*w*/, int /*h*/) {
    if (mProcess) mProcess->RequestWindowRebuild();
}

bool IPlugRTAS::SendMidiMsg(IMidiMsg* /*pMsg*/) {
    return false;
}

void IPlugRTAS::DirtyPTCompareState() {
    if (mProcess) mProcess->IncrementStateChangeCounter();
}
