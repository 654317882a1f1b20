#include "host/rtas/format/HostModule.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>

#include "host/rtas/format/PlugInChunk.h"

namespace rtashost {

namespace {

void SetError(std::string* error, const std::string& message) {
    if (error) *error = message;
}

}  // namespace

void HostTransport::GetCurrentMeter(int32_t* numerator, int32_t* denominator) const {
    if (numerator) *numerator = mNumerator;
    if (denominator) *denominator = mDenominator;
}

void HostWindow::AddTimer(TimerCallback callback, void* context, double intervalSeconds) {
    if (!callback) return;
    for (Timer& timer : mTimers) {
        if (timer.context == context) {
            timer = Timer{callback, context, intervalSeconds};
            return;
        }
    }
    mTimers.push_back(Timer{callback, context, intervalSeconds});
}

void HostWindow::RemoveTimer(void* context) {
    for (size_t i = 0; i < mTimers.size(); ++i) {
        if (mTimers[i].context == context) {
            mTimers.erase(mTimers.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

int HostWindow::Tick() {
    // A callback may add or remove timers: run a snapshot, skipping any removed meanwhile.
    const std::vector<Timer> snapshot = mTimers;
    int ran = 0;
    for (const Timer& timer : snapshot) {
        bool present = false;
        for (const Timer& live : mTimers)
            present = present || (live.context == timer.context && live.callback == timer.callback);
        if (!present) continue;
        timer.callback(timer.context);
        ++ran;
    }
    return ran;
}

double HostWindow::GetTimerInterval() const {
    double shortest = 0.0;
    for (const Timer& timer : mTimers) {
        if (shortest == 0.0 || timer.intervalSeconds < shortest) shortest = timer.intervalSeconds;
    }
    return shortest;
}

std::shared_ptr<Module> Module::Load(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        SetError(error,
                 "cannot load plug-in module \"" + path + "\": " + (reason ? reason : "unknown error"));
        return nullptr;
    }
    void* symbol = dlsym(library, kPlugInGroupEntryPointName);
    if (!symbol) {
        dlclose(library);
        SetError(error, "\"" + path + "\" is not a plug-in module (no entry point " +
                            kPlugInGroupEntryPointName + ")");
        return nullptr;
    }
    PlugInGroupEntryPoint entry;
    static_assert(sizeof(entry) == sizeof(symbol), "function and data pointers differ in size");
    std::memcpy(&entry, &symbol, sizeof(entry));
    CEffectGroup* group = entry();
    if (!group) {
        dlclose(library);
        SetError(error, "plug-in module \"" + path + "\" returned no process group");
        return nullptr;
    }
    std::shared_ptr<Module> module(new Module());
    module->mLibrary = library;
    module->mGroup = group;
    module->mPath = path;
    group->Initialize();
    return module;
}

std::shared_ptr<Module> Module::FromGroup(CEffectGroup* group) {
    if (!group) return nullptr;
    std::shared_ptr<Module> module(new Module());
    module->mGroup = group;
    group->Initialize();
    return module;
}

Module::~Module() {
    delete mGroup;
    if (mLibrary) dlclose(mLibrary);
}

EffectTypeInfo Module::GetEffectType(int index) const {
    EffectTypeInfo info;
    const CEffectTypeRTAS* type = mGroup->GetEffectType(index);
    if (!type) return info;
    info.typeID = type->GetTypeID();
    info.productID = type->GetProductID();
    info.categoryFlags = type->GetCategoryFlags();
    info.names = type->GetNames();
    info.numInputs = type->GetNumInputs();
    info.numOutputs = type->GetNumOutputs();
    info.inputStemFormat = type->GetInputStemFormat();
    info.outputStemFormat = type->GetOutputStemFormat();
    info.sampleRateSupport = type->GetSampleRateSupport();
    info.gestalts = type->GetGestalts();
    return info;
}

int Module::FindEffectType(int numInputs, int numOutputs) const {
    for (int i = 0; i < GetNumEffectTypes(); ++i) {
        const CEffectTypeRTAS* type = mGroup->GetEffectType(i);
        if (type->GetNumInputs() == numInputs && type->GetNumOutputs() == numOutputs) return i;
    }
    return -1;
}

std::unique_ptr<Instance> Instance::Create(std::shared_ptr<Module> module, int typeIndex,
                                           const InstanceConfig& config, std::string* error) {
    if (!module) {
        SetError(error, "no plug-in module");
        return nullptr;
    }
    const CEffectTypeRTAS* type = module->GetGroup().GetEffectType(typeIndex);
    if (!type) {
        SetError(error, "effect type " + std::to_string(typeIndex) + " does not exist");
        return nullptr;
    }
    if (!(config.sampleRate > 0.0) || !std::isfinite(config.sampleRate) || config.maxQuantum < 1) {
        SetError(error, "invalid sample rate or render quantum");
        return nullptr;
    }
    std::unique_ptr<Instance> instance(new Instance());
    instance->mModule = std::move(module);
    instance->mConfig = config;
    instance->mTypeID = type->GetTypeID();
    ProcessSetup setup;
    setup.sampleRate = config.sampleRate;
    setup.maxQuantum = config.maxQuantum;
    setup.hostVersion = config.hostVersion;
    setup.transport = &instance->mTransport;
    instance->mProcess.reset(type->CreateProcess(setup));
    if (!instance->mProcess) {
        SetError(error, "the plug-in failed to create an instance");
        return nullptr;
    }
    return instance;
}

Instance::~Instance() {
    CloseView();
    mProcess.reset();
}

bool Instance::Initialize() {
    mProcess->InitializeEffect();
    return mProcess->IsEffectInitialized();
}

void Instance::Render(float** inputs, float** outputs, int nFrames) {
    if (!mProcess->IsEffectInitialized() || nFrames <= 0) return;
    mProcess->RenderAudio(inputs, outputs, nFrames);
}

void Instance::SetBypass(bool bypassed) {
    const int index = mProcess->GetMasterBypassControlIndex();
    if (!mProcess->IsValidControlIndex(index)) return;
    SetControlNumber(index, bypassed ? 1.0 : 0.0);
}

ControlInfo Instance::GetControlInfo(int index) const {
    ControlInfo info;
    const CPluginControl* control = mProcess->GetControl(index);
    if (!control) return info;
    info.id = control->GetID();
    info.name = control->GetName();
    info.names = control->GetNames();
    info.kind = control->GetKind();
    info.minimum = control->GetMinimum();
    info.maximum = control->GetMaximum();
    info.numSteps = control->GetNumSteps();
    info.automatable = control->IsAutomatable();
    if (info.kind == CPluginControl::Kind::List) {
        info.entries = static_cast<const CPluginControl_List*>(control)->GetEntries();
    }
    return info;
}

int Instance::FindControl(OSType id) const {
    for (int i = 1; i <= GetNumControls(); ++i) {
        if (mProcess->GetControl(i)->GetID() == id) return i;
    }
    return 0;
}

int Instance::FindControlByName(const std::string& name) const {
    for (int i = 1; i <= GetNumControls(); ++i) {
        if (mProcess->GetControl(i)->GetName() == name) return i;
    }
    return 0;
}

double Instance::GetControlNumber(int index) const {
    const CPluginControl* control = mProcess->GetControl(index);
    return control ? control->ControlToNumber(mProcess->GetControlValue(index)) : 0.0;
}

void Instance::SetControlNumber(int index, double number) {
    const CPluginControl* control = mProcess->GetControl(index);
    if (control) SetControlValue(index, control->NumberToControl(number));
}

std::string Instance::GetControlText(int index) const {
    const CPluginControl* control = mProcess->GetControl(index);
    return control ? control->GetValueText(mProcess->GetControlValue(index)) : std::string();
}

bool Instance::SaveChunk(std::vector<unsigned char>* chunk, std::string* error) const {
    if (!chunk) return false;
    int32_t numChunks = 0;
    OSType chunkID = 0;
    int32_t size = 0;
    if (mProcess->GetNumChunks(&numChunks) != kNoErr || numChunks < 1 ||
        mProcess->GetIndexedChunkID(1, &chunkID) != kNoErr) {
        SetError(error, "the plug-in offers no settings chunk");
        return false;
    }
    if (mProcess->GetChunkSize(chunkID, &size) != kNoErr || size < kPlugInChunkHeaderSize) {
        SetError(error, "the plug-in could not size its settings chunk");
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size), 0);
    PlugInChunkHeader header{};
    header.mSize = size;
    header.mManufacturerID = mModule->GetGroup().GetManufacturerID();
    header.mTypeID = mTypeID;
    header.mChunkID = chunkID;
    const CEffectTypeRTAS* type = nullptr;
    for (int i = 0; i < mModule->GetNumEffectTypes() && !type; ++i) {
        if (mModule->GetGroup().GetEffectType(i)->GetTypeID() == mTypeID)
            type = mModule->GetGroup().GetEffectType(i);
    }
    if (type) header.mProductID = type->GetProductID();
    std::memcpy(bytes.data(), &header, sizeof(header));
    if (mProcess->GetChunk(chunkID, bytes.data(), size) != kNoErr) {
        SetError(error, "the plug-in could not write its settings chunk");
        return false;
    }
    *chunk = std::move(bytes);
    return true;
}

ComponentResult Instance::RestoreChunk(const std::vector<unsigned char>& chunk) {
    if (chunk.size() < static_cast<size_t>(kPlugInChunkHeaderSize) || chunk.size() > 0x7FFFFFFFu) {
        return kChunkRangeErr;
    }
    const OSType chunkID =
        static_cast<OSType>(ReadChunkField(chunk.data(), offsetof(PlugInChunkHeader, mChunkID)));
    return mProcess->SetChunk(chunkID, chunk.data(), static_cast<int32_t>(chunk.size()));
}

ComponentResult Instance::CompareChunk(const std::vector<unsigned char>& chunk, bool* isEqual) const {
    if (chunk.size() > 0x7FFFFFFFu) return kChunkRangeErr;
    return mProcess->CompareActiveChunk(chunk.data(), static_cast<int32_t>(chunk.size()), isEqual);
}

bool Instance::OpenView() {
    CloseView();
    const ViewRect rect = GetViewRect();
    mView.reset(mProcess->CreateCPlugInView());
    if (!mView) return false;
    mWindow = std::make_unique<HostWindow>();
    ViewPort port;
    port.window = mWindow.get();
    port.bounds.bottom = static_cast<int16_t>(rect.bottom - rect.top);
    port.bounds.right = static_cast<int16_t>(rect.right - rect.left);
    mProcess->SetViewPort(&port);
    return true;
}

void Instance::CloseView() {
    if (!mView) return;
    mProcess->SetViewPort(nullptr);
    mView.reset();
    mWindow.reset();
}

int Instance::TickView() {
    return mWindow ? mWindow->Tick() : 0;
}

bool Instance::IdleView() {
    if (!mProcess->ConsumeWindowRebuildRequest() || !mView) return false;
    CloseView();
    return OpenView();
}

ViewRect Instance::GetViewRect() const {
    ViewRect rect;
    mProcess->GetViewRect(&rect);
    return rect;
}

}  // namespace rtashost
