#include "host/lv2/IPlugLV2.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "framework/HostLookup.h"

namespace {

// Scratch length when the host does not state its largest block, and the bounds of what is taken
// from it: longer host blocks are run in pieces, so this only trades memory for calls.
constexpr int kDefaultBlockSize = 4096;
constexpr int kMinBlockSize = 64;
constexpr int kMaxBlockSize = 8192;

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (features[i]->URI && std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

// The host's largest block from the options feature, or 0 when it gives none.
int MaxBlockLength(const LV2_Options_Option* options, LV2_URID_Map* map) {
    if (!options || !map) return 0;
    const LV2_URID key = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID atomInt = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key || o->value; ++o)
        if (o->key == key && o->type == atomInt && o->size == sizeof(int32_t) && o->value)
            return *static_cast<const int32_t*>(o->value);
    return 0;
}

}  // namespace

IPlugLV2::IPlugLV2(IPlugInstanceInfo /*instanceInfo*/, int nParams, const char* channelIOStr, int nPresets,
                   const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                   int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                   bool plugIsInstrument, int /*plugSideChainChannels*/)
    : IPlugBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID,
                mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInstrument, kAPILV2) {
    if (NInChannels() > 0) CreateLatencyDelayLine();
    mEditorChanged.reset(new std::atomic<bool>[static_cast<size_t>(NParams())]());
    SetInputChannelConnections(0, NInChannels(), true);
    SetOutputChannelConnections(0, NOutChannels(), true);
}

IPlugLV2::~IPlugLV2() = default;

bool IPlugLV2::Instantiate(int nIn, int nOut, double sampleRate, const char* bundlePath,
                           const LV2_Feature* const* features) {
    mMap = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
    lv2_log_logger_init(&mLogger, mMap,
                        static_cast<LV2_Log_Log*>(const_cast<void*>(FindFeature(features, LV2_LOG__log))));
    if (nIn < 0 || nOut < 0 || nIn > NInChannels() || nOut > NOutChannels()) {
        LogLine(true, "%s: no %d-in %d-out configuration\n", GetEffectName(), nIn, nOut);
        return false;
    }
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) {
        LogLine(true, "%s: unusable sample rate %f\n", GetEffectName(), sampleRate);
        return false;
    }
    mBundlePath = bundlePath ? bundlePath : "";

    mLayout = lv2::PortLayout{NParams(), nIn, nOut};
    mControlPorts.assign(NParams(), nullptr);
    mIsOutput.assign(NParams(), false);
    for (int i = 0; i < NParams(); ++i) mIsOutput[i] = lv2::IsOutputParam(GetParam(i));
    mLastControl.assign(NParams(), std::numeric_limits<float>::quiet_NaN());
    mAudioIn.assign(nIn, nullptr);
    mAudioOut.assign(nOut, nullptr);

    SetInputChannelConnections(0, nIn, true);
    SetInputChannelConnections(nIn, NInChannels() - nIn, false);
    SetOutputChannelConnections(0, nOut, true);
    SetOutputChannelConnections(nOut, NOutChannels() - nOut, false);

    int blockSize = MaxBlockLength(
        static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options)), mMap);
    if (blockSize <= 0) blockSize = kDefaultBlockSize;
    blockSize =
        blockSize < kMinBlockSize ? kMinBlockSize : (blockSize > kMaxBlockSize ? kMaxBlockSize : blockSize);
    SetBlockSize(blockSize);
    if (GetBlockSize() != blockSize) {
        LogLine(true, "%s: no memory for blocks of %d frames\n", GetEffectName(), blockSize);
        return false;
    }
    mSilence.assign(blockSize, 0.0f);
    SetSampleRate(sampleRate);
    ApplyChannelDefaults(nIn);
    // Refused here, where a host can still tell the user, rather than measuring nothing (or nonsense)
    // for the whole session.
    std::string why;
    if (!PrepareForSampleRate(&why)) {
        LogLine(true, "%s: %s\n", GetEffectName(), why.c_str());
        return false;
    }

    // Without urid:map (a plain file processor) there is no transport and no state: the transport
    // counts as stopped and state calls fail; audio, controls and outputs work as ever.
    if (!mMap) return true;
    mTransport.Map(mMap);
    mUrid.atomInt = mMap->map(mMap->handle, LV2_ATOM__Int);
    mUrid.atomChunk = mMap->map(mMap->handle, LV2_ATOM__Chunk);
    mUrid.atomSequence = mMap->map(mMap->handle, LV2_ATOM__Sequence);
    const std::string base = lv2::UriBase(*this);
    mUrid.stateVersion = mMap->map(mMap->handle, (base + ":state#version").c_str());
    mUrid.stateParams = mMap->map(mMap->handle, (base + ":state#params").c_str());
    return true;
}

void IPlugLV2::ApplyChannelDefaults(int nIn) {
    // The settings this width starts with (a 5.1 insert measures its six channels); the description
    // states the same values as the ports' defaults, and a restored state or a host's port value
    // overrides them as it overrides any default.
    WDL_MutexLock lock(&mMutex);
    for (int i = 0; i < NParams(); ++i) {
        if (mIsOutput[i]) continue;
        IParam* param = GetParam(i);
        const double value = GetDefaultForChannels(i, nIn);
        if (value == param->Value()) continue;
        if (GetGUI()) GetGUI()->SetParameterFromPlug(i, value, false);
        param->Set(value);
        OnParamChange(i);
    }
}

void IPlugLV2::ConnectPort(uint32_t port, void* data) {
    if (port >= static_cast<uint32_t>(mLayout.NPorts())) return;
    const int p = static_cast<int>(port);
    if (p < mLayout.nParams) {
        mControlPorts[p] = static_cast<float*>(data);
    } else if (p == mLayout.ResetPort()) {
        mResetPort = static_cast<const float*>(data);
    } else if (p == mLayout.EnabledPort()) {
        mEnabledPort = static_cast<const float*>(data);
    } else if (p == mLayout.TransportPort()) {
        mTransportPort = static_cast<const LV2_Atom_Sequence*>(data);
    } else if (p < mLayout.AudioOutPort(0)) {
        mAudioIn[p - mLayout.AudioInPort(0)] = static_cast<float*>(data);
    } else if (p < mLayout.NPorts()) {
        mAudioOut[p - mLayout.AudioOutPort(0)] = static_cast<float*>(data);
    }
}

void IPlugLV2::Activate() {
    Reset();
}

void IPlugLV2::Run(uint32_t nFrames) {
    WDL_MutexLock lock(&mMutex);
    // The editor's requests first: a host port the editor's change moved then reads as no change.
    ApplyEditorRequests();
    ApplyControlInputs();
    // A NaN on the port counts as enabled: only a clear 0 bypasses.
    mBypassed = mEnabledPort && *mEnabledPort <= 0.5f;

    const int n = nFrames > static_cast<uint32_t>(std::numeric_limits<int>::max())
                      ? std::numeric_limits<int>::max()
                      : static_cast<int>(nFrames);
    int done = 0;
    if (mTransportPort && mTransportPort->atom.type == mUrid.atomSequence && mUrid.atomSequence != 0) {
        LV2_ATOM_SEQUENCE_FOREACH(mTransportPort, ev) {
            // Events are in time order; one outside the block or behind the last counts at its edge.
            const int64_t at = ev->time.frames;
            const int t = at < done ? done : (at > n ? n : static_cast<int>(at));
            if (t > done) {
                RunPiece(done, t - done);
                done = t;
            }
            mTransport.Read(&ev->body);
        }
    }
    if (done < n) RunPiece(done, n - done);
    WriteControlOutputs();
}

void IPlugLV2::RunPiece(int offset, int nFrames) {
    for (int c = 0; c < mLayout.nIn; ++c) {
        if (mAudioIn[c]) {
            float* p = mAudioIn[c] + offset;
            AttachInputBuffers(c, 1, &p, nFrames);
        } else {
            // Frames past the silent buffer read as silence too.
            float* p = mSilence.data();
            AttachInputBuffers(c, 1, &p, nFrames < GetBlockSize() ? nFrames : GetBlockSize());
        }
    }
    for (int c = 0; c < mLayout.nOut; ++c) {
        if (!mAudioOut[c]) continue;
        float* p = mAudioOut[c] + offset;
        AttachOutputBuffers(c, 1, &p);
    }
    if (mBypassed)
        PassThroughBuffers(0.0f, nFrames);
    else
        ProcessBuffers(0.0f, nFrames);
    mTransport.Advance(nFrames, GetSampleRate());
}

void IPlugLV2::ApplyEditorRequests() {
    if (mEditorChangePending.exchange(false, std::memory_order_acq_rel)) {
        for (int i = 0; i < NParams(); ++i)
            if (mEditorChanged[i].exchange(false, std::memory_order_acq_rel)) OnParamChange(i);
    }
    if (mEditorResetPending.exchange(false, std::memory_order_acq_rel)) OnResetRequest();
}

void IPlugLV2::SetParameterFromGUI(int paramIdx, double normalizedValue) {
    // Not a setting (or before Instantiate): the base's way, under the mutex.
    if (!IsSetting(paramIdx)) {
        IPlugBase::SetParameterFromGUI(paramIdx, normalizedValue);
        return;
    }
    IParam* param = GetParam(paramIdx);
    const double before = param->Value();
    param->SetNormalized(normalizedValue);
    // A value equal to the one in force is no change: the host hears nothing, the measurements go on.
    if (param->Value() == before) return;
    // Several changes before the next block make one reaction, to the value in force by then.
    mEditorChanged[paramIdx].store(true, std::memory_order_release);
    mEditorChangePending.store(true, std::memory_order_release);
    InformHostOfParamChange(paramIdx, normalizedValue);
}

void IPlugLV2::ResetFromGUI() {
    mEditorResetPending.store(true, std::memory_order_release);
}

void IPlugLV2::ApplyControlInputs() {
    for (int i = 0; i < mLayout.nParams; ++i) {
        if (!mControlPorts[i] || mIsOutput[i]) continue;
        const float v = *mControlPorts[i];
        // Only a change on the port is the host's word: a value restored from state stays until the
        // host moves the port again. NaN is no value.
        if (std::isnan(v) || v == mLastControl[i]) continue;
        mLastControl[i] = v;
        IParam* param = GetParam(i);
        // Discrete parameters take the nearest whole value, as from a discrete host control.
        const double value = param->Type() == IParam::kTypeDouble ? v : std::floor(v + 0.5);
        double lo = 0.0, hi = 0.0;
        param->GetBounds(&lo, &hi);
        // The same value again is no change: it must not restart the measurements. That includes the
        // port value the editor wrote for a setting it changed (a float of the parameter's value).
        const double clamped = std::fmin(std::fmax(value, lo), hi);
        if (clamped == param->Value() || v == static_cast<float>(param->Value())) continue;
        if (GetGUI()) GetGUI()->SetParameterFromPlug(i, value, false);
        param->Set(value);
        OnParamChange(i);
    }
    if (mResetPort) {
        const bool high = *mResetPort > 0.5f;
        if (high && !mResetHigh) OnResetRequest();
        mResetHigh = high;
    }
}

void IPlugLV2::WriteControlOutputs() {
    for (int i = 0; i < mLayout.nParams; ++i)
        if (mControlPorts[i] && mIsOutput[i]) *mControlPorts[i] = static_cast<float>(GetParam(i)->Value());
}

bool IPlugLV2::IsSetting(int paramIdx) const {
    return paramIdx >= 0 && paramIdx < static_cast<int>(mIsOutput.size()) && !mIsOutput[paramIdx];
}

void IPlugLV2::BeginInformHostOfParamChange(int paramIdx) {
    if (IsSetting(paramIdx)) mEditorSession.Touch(paramIdx, true);
}

void IPlugLV2::InformHostOfParamChange(int paramIdx, double /*normalizedValue*/) {
    // "OUT:" parameters come from the audio thread and must never reach the UI's functions.
    if (!IsSetting(paramIdx)) return;
    // The value as it stands (run() may set it from the host's port meanwhile), written to the host
    // without any lock: the host's write function may wait for its audio thread.
    mEditorSession.Write(paramIdx, static_cast<float>(GetParam(paramIdx)->Value()));
}

void IPlugLV2::EndInformHostOfParamChange(int paramIdx) {
    if (IsSetting(paramIdx)) mEditorSession.Touch(paramIdx, false);
}

double IPlugLV2::GetSamplePos() {
    ITimeInfo t;
    mTransport.Fill(&t);
    return t.mSamplePos < 0.0 ? 0.0 : t.mSamplePos;
}

double IPlugLV2::GetTempo() {
    ITimeInfo t;
    mTransport.Fill(&t);
    return t.mTempo;
}

void IPlugLV2::GetTimeSig(int* pNum, int* pDenom) {
    ITimeInfo t;
    mTransport.Fill(&t);
    if (pNum) *pNum = t.mNumerator;
    if (pDenom) *pDenom = t.mDenominator;
}

void IPlugLV2::GetTime(ITimeInfo* pTimeInfo) {
    mTransport.Fill(pTimeInfo);
}

int IPlugLV2::GetHost() {
    if (mHost == kHostUninit) SetHost("", 0);
    return mHost;
}

void IPlugLV2::LogLine(bool isError, const char* format, ...) const {
    if (!mLogger.log) return;
    va_list args;
    va_start(args, format);
    LV2_Log_Logger logger = mLogger;
    lv2_log_vprintf(&logger, isError ? logger.Error : logger.Warning, format, args);
    va_end(args);
}
