#include "host/rtas/format/Process.h"

#include <mutex>

#include "host/rtas/format/ControlEncoding.h"

namespace {

std::recursive_mutex& CreationMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

const ProcessSetup* sPendingSetup = nullptr;

}  // namespace

ScopedProcessSetup::ScopedProcessSetup(const ProcessSetup& setup) {
    CreationMutex().lock();
    sPendingSetup = &setup;
}

ScopedProcessSetup::~ScopedProcessSetup() {
    sPendingSetup = nullptr;
    CreationMutex().unlock();
}

CProcess::CProcess() = default;
CProcess::~CProcess() = default;

int CProcess::AddControl(CPluginControl* control) {
    std::unique_ptr<CPluginControl> owned(control);
    if (!owned) return 0;
    auto entry = std::make_unique<Entry>();
    entry->value.store(owned->GetValue(), std::memory_order_relaxed);
    entry->control = std::move(owned);
    mControls.push_back(std::move(entry));
    return GetNumControls();
}

const CProcess::Entry* CProcess::GetEntry(int index) const {
    return IsValidControlIndex(index) ? mControls[static_cast<size_t>(index) - 1].get() : nullptr;
}

CPluginControl* CProcess::GetControl(int index) const {
    const Entry* entry = GetEntry(index);
    return entry ? entry->control.get() : nullptr;
}

void CProcess::SetControlValue(int index, int32_t value) {
    Entry* entry = const_cast<Entry*>(GetEntry(index));
    if (!entry) return;
    entry->value.store(value, std::memory_order_relaxed);
    entry->writes.fetch_add(1, std::memory_order_relaxed);
}

int32_t CProcess::GetControlValue(int index) const {
    const Entry* entry = GetEntry(index);
    return entry ? entry->value.load(std::memory_order_relaxed) : 0;
}

void CProcess::TouchControl(int index) {
    if (const Entry* entry = GetEntry(index)) const_cast<Entry*>(entry)->touched.store(true);
}

void CProcess::ReleaseControl(int index) {
    if (const Entry* entry = GetEntry(index)) const_cast<Entry*>(entry)->touched.store(false);
}

bool CProcess::IsControlTouched(int index) const {
    const Entry* entry = GetEntry(index);
    return entry && entry->touched.load();
}

uint32_t CProcess::GetControlWriteCount(int index) const {
    const Entry* entry = GetEntry(index);
    return entry ? entry->writes.load(std::memory_order_relaxed) : 0;
}

void CProcess::HostSetControlValue(int index, int32_t value) {
    Entry* entry = const_cast<Entry*>(GetEntry(index));
    if (!entry) return;
    entry->control->SetValue(value);
    entry->value.store(value, std::memory_order_relaxed);
    UpdateControlValueInAlgorithm(index);
}

int CProcess::IsControlAutomatable(int index) {
    const CPluginControl* control = GetControl(index);
    return control && control->IsAutomatable() ? 1 : 0;
}

ComponentResult CProcess::GetNumChunks(int32_t* numChunks) {
    if (numChunks) *numChunks = 0;
    return kNoErr;
}

ComponentResult CProcess::GetIndexedChunkID(int32_t, OSType*) {
    return kChunkRangeErr;
}
ComponentResult CProcess::GetChunkSize(OSType, int32_t*) {
    return kChunkRangeErr;
}
ComponentResult CProcess::GetChunk(OSType, unsigned char*, int32_t) {
    return kChunkRangeErr;
}
ComponentResult CProcess::SetChunk(OSType, const unsigned char*, int32_t) {
    return kChunkRangeErr;
}

ComponentResult CProcess::CompareActiveChunk(const unsigned char*, int32_t, bool* isEqual) {
    if (isEqual) *isEqual = false;
    return kChunkRangeErr;
}

void CProcess::GetViewRect(ViewRect* rect) {
    if (rect) *rect = ViewRect();
}

bool CProcess::ConsumeWindowRebuildRequest() {
    const bool requested = mWindowRebuildRequested;
    mWindowRebuildRequested = false;
    return requested;
}

CEffectProcess::CEffectProcess() {
    std::lock_guard<std::recursive_mutex> lock(CreationMutex());
    if (sPendingSetup) mSetup = *sPendingSetup;
    if (mSetup.maxQuantum < 1) mSetup.maxQuantum = 1;
    if (mSetup.numInputs < 0) mSetup.numInputs = 0;
    if (mSetup.numOutputs < 0) mSetup.numOutputs = 0;
    if (!(mSetup.sampleRate > 0.0)) mSetup.sampleRate = 44100.0;
}

void CEffectProcess::InitializeEffect() {
    if (mEffectInitialized) return;
    mEffectInitialized = true;
    EffectInit();
}

bool CEffectProcess::IsBypassed() const {
    const CPluginControl* control = GetControl(GetMasterBypassControlIndex());
    if (!control) return false;
    return ControlToDiscrete(GetControlValue(GetMasterBypassControlIndex()), 0, 1) != 0;
}

void CEffectProcessRTAS::RenderAudio(float** inputs, float** outputs, int32_t nFrames) {
    for (int c = 0; c < GetNumOutputs(); ++c) {
        for (int32_t s = 0; s < nFrames; ++s) {
            outputs[c][s] = c < GetNumInputs() ? inputs[c][s] : 0.0f;
        }
    }
}
