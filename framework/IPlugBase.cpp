#include "framework/IPlugBase.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "framework/CreationSampleRate.h"
#include "framework/HostLookup.h"
#include "framework/Trace.h"

namespace {

// Copies at most IPlugBase::kNameSize - 1 characters (null counts as "").
void CopyName(char* dest, const char* src) {
    size_t n = 0;
    if (src)
        while (n < static_cast<size_t>(IPlugBase::kNameSize - 1) && src[n]) ++n;
    if (n) std::memcpy(dest, src, n);
    std::memset(dest + n, 0, static_cast<size_t>(IPlugBase::kNameSize) - n);
}

}  // namespace

IPlugBase::IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
                     const char* productName, const char* mfrName, int version, int uniqueID, int mfrID,
                     int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInstrument, EAPI api)
    : mUniqueID(uniqueID),
      mMfrID(mfrID),
      mVersion(version),
      mAPI(api),
      mDoesMidi(plugDoesMidi),
      mDoesChunks(plugDoesChunks),
      mIsInst(plugIsInstrument),
      mLatency(latency) {
    // A host adapter that knows the rate already lets the product set itself up for it from the start.
    if (ScopedCreationSampleRate::Current() > 0.0) mSampleRate = ScopedCreationSampleRate::Current();
    CopyName(mEffectName, effectName);
    CopyName(mProductName, productName);
    CopyName(mMfrName, mfrName);

    char timeText[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local;
    if (localtime_r(&now, &local)) std::strftime(timeText, sizeof(timeText), "%Y-%m-%d %H:%M:%S", &local);
    Trace(TRACE_HERE, "%s:%s", mEffectName, timeText);

    for (int i = 0; i < nParams; ++i) {
        IParam* param = new IParam;
        if (!mParams.Add(param)) delete param;
    }
    for (int i = 0; i < nPresets; ++i) {
        IPresetEntry* preset = new IPresetEntry;
        if (!mPresets.Add(preset)) delete preset;
    }

    int nIn = 0, nOut = 0;
    ParseChannelIO(channelIOStr, &nIn, &nOut);

    // The pointer arrays are sized once; channel records keep pointers into them.
    if (mInData.Resize(nIn)) mInData.ZeroFill();
    if (mOutData.Resize(nOut)) mOutData.ZeroFill();
    for (int i = 0; i < mInData.GetSize(); ++i) {
        InChannel* ch = new InChannel;
        ch->mSrc = mInData.Get() + i;
        if (!mInChannels.Add(ch)) delete ch;
    }
    for (int i = 0; i < mOutData.GetSize(); ++i) {
        OutChannel* ch = new OutChannel;
        ch->mDest = mOutData.Get() + i;
        if (!mOutChannels.Add(ch)) delete ch;
    }
}

IPlugBase::~IPlugBase() {
    delete mGraphics;
    mGraphics = nullptr;
    mParams.Empty(true);
    mPresets.Empty(true);  // last to first
    mInChannels.Empty(true);
    mOutChannels.Empty(true);
    mChannelIO.Empty(true);
    delete mDelay;
    mDelay = nullptr;
}

namespace {

// Reads a decimal int like "%d" (leading blanks, optional sign, digits) without the overflow
// sscanf would have; the result saturates at kMaxChannels. Returns false when there is no number.
bool ReadCount(const char** pp, int* pValue) {
    const char* p = *pp;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v <= IPlugBase::kMaxChannels) v = v * 10 + (*p - '0');
    if (v > IPlugBase::kMaxChannels) v = IPlugBase::kMaxChannels;
    *pValue = static_cast<int>(negative ? -v : v);
    *pp = p;
    return true;
}

}  // namespace

void IPlugBase::ParseChannelIO(const char* channelIOStr, int* pMaxIn, int* pMaxOut) {
    *pMaxIn = *pMaxOut = 0;
    const char* p = channelIOStr;
    while (p) {
        // "%d-%d": a count not read stays 0.
        int nIn = 0, nOut = 0;
        const char* q = p;
        if (ReadCount(&q, &nIn) && *q == '-') {
            ++q;
            ReadCount(&q, &nOut);
        }
        // A negative count cannot size a channel array; it counts as none.
        if (nIn < 0) nIn = 0;
        if (nOut < 0) nOut = 0;
        ChannelIOPair* pair = new ChannelIOPair{nIn, nOut};
        if (!mChannelIO.Add(pair)) delete pair;
        if (nIn > *pMaxIn) *pMaxIn = nIn;
        if (nOut > *pMaxOut) *pMaxOut = nOut;
        p = std::strstr(p, " ");
        if (p) ++p;
    }
}

bool IPlugBase::GetChannelIO(int pairIdx, int* pNIn, int* pNOut) const {
    const ChannelIOPair* pair = mChannelIO.Get(pairIdx);
    if (!pair) return false;
    if (pNIn) *pNIn = pair->mIn;
    if (pNOut) *pNOut = pair->mOut;
    return true;
}

bool IPlugBase::IsInChannelConnected(int chIdx) const {
    const InChannel* ch = mInChannels.Get(chIdx);
    return ch && ch->mConnected;
}

bool IPlugBase::IsOutChannelConnected(int chIdx) const {
    const OutChannel* ch = mOutChannels.Get(chIdx);
    return ch && ch->mConnected;
}

// ---- Default hooks ----

void IPlugBase::Reset() {
    WDL_MutexLock lock(&mMutex);
}

namespace {

// The default processing: every output carries its input unchanged; an output with no input is silent.
template <typename T>
void CopyInputsToOutputs(T** inputs, T** outputs, int nIn, int nOut, int nFrames) {
    if (nFrames <= 0) return;
    for (int c = 0; c < nOut; ++c) {
        if (!outputs[c]) continue;
        if (c < nIn && inputs[c]) {
            if (inputs[c] != outputs[c])
                std::memmove(outputs[c], inputs[c], static_cast<size_t>(nFrames) * sizeof(T));
        } else {
            std::memset(outputs[c], 0, static_cast<size_t>(nFrames) * sizeof(T));
        }
    }
}

}  // namespace

void IPlugBase::OnParamChange(int /*paramIdx*/) {
    WDL_MutexLock lock(&mMutex);
}

void IPlugBase::OnActivate(bool /*active*/) {
    WDL_MutexLock lock(&mMutex);
}

void IPlugBase::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    CopyInputsToOutputs(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

void IPlugBase::ProcessSingleReplacing(float** inputs, float** outputs, int nFrames) {
    CopyInputsToOutputs(inputs, outputs, NInChannels(), NOutChannels(), nFrames);
}

void IPlugBase::ProcessMidiMsg(IMidiMsg* pMsg) {
    SendMidiMsg(pMsg);
}

bool IPlugBase::MidiNoteName(int /*noteNumber*/, char* name) {
    if (name) name[0] = '\0';
    return false;
}

void IPlugBase::SetParameterFromGUI(int paramIdx, double normalizedValue) {
    Trace(TRACE_HERE, "%d:%f", paramIdx, normalizedValue);
    {
        WDL_MutexLock lock(&mMutex);
        IParam* param = GetParam(paramIdx);
        if (!param) return;
        const double before = param->Value();
        param->SetNormalized(normalizedValue);
        // A value equal to the one in force is no change (a click on a field without a drag, a knob
        // dragged back to where it was): the host hears nothing and the measurements go on.
        if (param->Value() == before) return;
        OnParamChange(paramIdx);
    }
    // The host is told with the mutex released: a host may hand the value to its audio thread and
    // wait for it, and that thread takes the mutex for every block.
    InformHostOfParamChange(paramIdx, normalizedValue);
}

// ---- Editor ----

void IPlugBase::AttachGraphics(IEditorLink* pGraphics) {
    if (!pGraphics) return;
    WDL_MutexLock lock(&mMutex);
    for (int i = 0; i < NParams(); ++i)
        pGraphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
    pGraphics->PrepDraw();
    if (mGraphics != pGraphics) delete mGraphics;
    mGraphics = pGraphics;
}

void IPlugBase::RedrawParamControls() {
    if (!mGraphics) return;
    for (int i = 0; i < NParams(); ++i) mGraphics->SetParameterFromPlug(i, GetParam(i)->Value(), false);
}

// ---- Host identity ----

void IPlugBase::SetHost(const char* name, int version) {
    mHost = LookUpHost(name);
    mHostVersion = version;
    char versionText[64];
    std::snprintf(versionText, sizeof(versionText), "v%d.%d.%d", version >> 16, (version >> 8) & 255,
                  version & 255);
    Trace(TRACE_HERE, "host_%sknown:%s:%s", mHost == 0 ? "un" : "", name ? name : "", versionText);
}

// ---- Latency ----

void IPlugBase::CreateLatencyDelayLine() {
    delete mDelay;
    mDelay = new LatencyDelayLine(NInChannels(), NOutChannels());
    mDelay->SetDelay(mLatency);
}

void IPlugBase::SetLatency(int samples) {
    mLatency = samples;
    if (mDelay) mDelay->SetDelay(samples);
}
