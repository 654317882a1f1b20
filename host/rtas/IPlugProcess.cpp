#include "host/rtas/IPlugProcess.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "editor/IGraphics.h"
#include "framework/CreationSampleRate.h"
#include "framework/WDL_Mutex.h"
#include "host/rtas/IPlugCustomUI.h"
#include "host/rtas/IPlugRTAS.h"
#include "host/rtas/format/ControlEncoding.h"
#include "host/rtas/format/EffectGroup.h"
#include "host/rtas/format/PlugInChunk.h"

namespace {

constexpr int kMasterBypassIndex = 1;
constexpr int kFirstParamControl = 2;
constexpr OSType kParamControlID = 0x206C6420;  // ' ld '
const char* const kMasterBypassNames = "Master Bypass\nMastrByp\nMByp\nByp";
const char* const kDigiViewDescription = "!IPlugDigiView[('NoID')]";

int RoundToInt(double v) {
    const double r = std::floor(v + 0.5);
    if (!(r >= -2147483648.0)) return -2147483647 - 1;
    if (r >= 2147483647.0) return 2147483647;
    return static_cast<int>(r);
}

bool IsDiscreteParam(const IParam* param) {
    return param->Type() == IParam::kTypeBool || param->Type() == IParam::kTypeInt ||
           param->Type() == IParam::kTypeEnum;
}

}  // namespace

IPlugProcess::IPlugProcess(OSType chunkID) : mChunkID(chunkID) {
    // The host's setup is known here: the plug-in is built for its rate, so EffectInit's Reset finds
    // the engines set up already.
    const ScopedCreationSampleRate rate(GetSampleRate());
    mPlug = MakePlug();
}

IPlugProcess::~IPlugProcess() {
    if (mCustomView) mCustomView->SetCustomUI(nullptr);
    mCustomView = nullptr;
    if (mCustomUI) mCustomUI->Close();
    delete mCustomUI;
    mCustomUI = nullptr;
    delete mPlug;
    mPlug = nullptr;
}

void IPlugProcess::EffectInit() {
    if (!mPlug) return;
    try {
        BuildControls();
    } catch (...) {
        // Out of memory: the controls built so far stay; calls on missing ones are ignored.
    }
    mPlug->SetIO(GetNumInputs(), GetNumOutputs());
    mPlug->SetSampleRate(GetSampleRate());
    mPlug->Reset();
}

void IPlugProcess::BuildControls() {
    AddControl(new CPluginControl_OnOff(FourCharCode("bypa"), kMasterBypassNames, false, true));
    DefineMasterBypassControlIndex(kMasterBypassIndex);

    for (int i = 0; i < mPlug->NParams(); ++i) {
        const IParam* param = mPlug->GetParam(i);
        const OSType id = kParamControlID + static_cast<OSType>(i);
        const std::string name = param->GetNameForHost();
        const bool automate = param->GetCanAutomate();
        switch (param->Type()) {
            case IParam::kTypeInt:
                AddControl(new CPluginControl_Discrete(id, name, RoundToInt(param->GetMin()),
                                                       RoundToInt(param->GetMax()),
                                                       RoundToInt(param->GetDefault()), automate));
                break;
            case IParam::kTypeDouble:
                AddControl(new CPluginControl_Linear(id, name, param->GetMin(), param->GetMax(),
                                                     param->GetStep(), param->GetDefault(), automate));
                break;
            case IParam::kTypeBool:
            case IParam::kTypeEnum: {
                std::vector<std::string> entries;
                for (int t = 0; t < param->GetNDisplayTexts(); ++t)
                    entries.emplace_back(param->GetDisplayTextAtIdx(t));
                // A parameter with fewer texts than positions still gets one entry per position,
                // so the control spans the parameter's whole range.
                const int positions = RoundToInt(param->GetMax()) + 1;
                for (int v = static_cast<int>(entries.size()); v < positions && v < 4096; ++v) {
                    entries.push_back(std::to_string(v));
                }
                AddControl(
                    new CPluginControl_List(id, name, entries, RoundToInt(param->GetDefault()), automate));
                break;
            }
            default:
                // An untyped parameter keeps its host index (i + 2) with an inert placeholder so
                // every later parameter still maps to its own control.
                AddControl(new CPluginControl_Discrete(id, name, 0, 1, 0, false));
                break;
        }
    }
}

int32_t IPlugProcess::ParamToControlValue(int paramIdx) const {
    const IParam* param = mPlug->GetParam(paramIdx);
    const CPluginControl* control = GetControl(paramIdx + kFirstParamControl);
    if (!param || !control) return 0;
    if (param->Type() == IParam::kTypeDouble) {
        return ContinuousToControl(param->Value(), control->GetMinimum(), control->GetMaximum());
    }
    if (IsDiscreteParam(param)) {
        return DiscreteToControl(param->Int(), static_cast<int>(control->GetMinimum()),
                                 static_cast<int>(control->GetMaximum()));
    }
    return control->GetValue();
}

void IPlugProcess::SetControlValue(int index, int32_t value) {
    CPluginControl* control = GetControl(index);
    if (!control) return;
    control->SetValue(value);
    CProcess::SetControlValue(index, value);
}

void IPlugProcess::UpdateControlValueInAlgorithm(int index) {
    if (!mPlug || !IsValidControlIndex(index) || index == GetMasterBypassControlIndex()) return;
    mPlug->SetParameter(index);
}

int IPlugProcess::IsControlAutomatable(int index) {
    if (index == kMasterBypassIndex && IsValidControlIndex(index)) return 1;
    if (!mPlug) return 0;
    const IParam* param = mPlug->GetParam(index - kFirstParamControl);
    return param && param->GetCanAutomate() ? 1 : 0;
}

int32_t IPlugProcess::GetDelaySamplesLong() {
    return mPlug ? mPlug->GetLatency() : 0;
}

ComponentResult IPlugProcess::GetNumChunks(int32_t* numChunks) {
    if (numChunks) *numChunks = 1;
    return kNoErr;
}

ComponentResult IPlugProcess::GetIndexedChunkID(int32_t index, OSType* chunkID) {
    if (index != 1 || !chunkID) return kChunkRangeErr;
    *chunkID = mChunkID;
    return kNoErr;
}

ComponentResult IPlugProcess::GetChunkSize(OSType chunkID, int32_t* size) {
    if (chunkID != mChunkID || !mPlug || !size) return kChunkRangeErr;
    ByteChunk state;
    if (!mPlug->SerializeState(&state)) return kChunkRangeErr;
    *size = state.Size() + kPlugInChunkHeaderSize;
    return kNoErr;
}

ComponentResult IPlugProcess::GetChunk(OSType chunkID, unsigned char* chunk, int32_t capacity) {
    if (chunkID != mChunkID || !mPlug || !chunk) return kChunkRangeErr;
    ByteChunk state;
    if (!mPlug->SerializeState(&state)) return kChunkRangeErr;
    const int32_t total = state.Size() + kPlugInChunkHeaderSize;
    if (capacity < total) return kChunkRangeErr;
    WriteChunkField(chunk, offsetof(PlugInChunkHeader, mSize), total);
    if (state.Size() > 0)
        std::memcpy(chunk + kPlugInChunkHeaderSize, state.GetBytes(), static_cast<size_t>(state.Size()));
    return kNoErr;
}

ComponentResult IPlugProcess::SetChunk(OSType chunkID, const unsigned char* chunk, int32_t length) {
    if (chunkID != mChunkID || !mPlug || !chunk || length < kPlugInChunkHeaderSize) return kChunkRangeErr;
    if (ReadChunkField(chunk, offsetof(PlugInChunkHeader, mSize)) != length) return kChunkRangeErr;
    ByteChunk state;
    const int32_t dataSize = length - kPlugInChunkHeaderSize;
    if (dataSize > 0 && state.PutBytes(chunk + kPlugInChunkHeaderSize, dataSize) != dataSize)
        return kChunkRangeErr;
    {
        // One hold of the plug-in mutex across the restore and the refresh of the host controls: the
        // audio thread writes the output parameters under it, so the values are read under it too,
        // and the controls show the restored state, not a block's later writes mixed with it.
        WDL_MutexLock lock(mPlug->GetMutex());
        mPlug->UnserializeState(&state, 0);
        for (int i = 0; i < mPlug->NParams(); ++i) {
            SetControlValue(i + kFirstParamControl, ParamToControlValue(i));
        }
    }
    IncrementStateChangeCounter();
    return kNoErr;
}

ComponentResult IPlugProcess::CompareActiveChunk(const unsigned char* chunk, int32_t length, bool* isEqual) {
    if (!chunk || !isEqual || !mPlug) return kChunkRangeErr;
    if (length < static_cast<int32_t>(offsetof(PlugInChunkHeader, mChunkID) + sizeof(OSType)))
        return kChunkRangeErr;
    if (static_cast<OSType>(ReadChunkField(chunk, offsetof(PlugInChunkHeader, mChunkID))) != mChunkID) {
        return kChunkRangeErr;
    }
    const long long needed = kPlugInChunkHeaderSize + 8LL * mPlug->NParams();
    // CompareState reads the parameters without a lock of its own; the audio thread writes the output
    // parameters under the plug-in mutex, so the comparison holds it.
    WDL_MutexLock lock(mPlug->GetMutex());
    *isEqual = length >= needed && mPlug->CompareState(chunk + kPlugInChunkHeaderSize, 0);
    return kNoErr;
}

IPlugCustomUI* IPlugProcess::EnsureCustomUI() {
    if (!mCustomUI && mPlug) mCustomUI = new (std::nothrow) IPlugCustomUI(this);
    return mCustomUI;
}

void IPlugProcess::GetViewRect(ViewRect* rect) {
    if (!rect) return;
    *rect = ViewRect();
    if (!mPlug) return;
    if (IPlugCustomUI* ui = EnsureCustomUI()) ui->GetRect(&mPluginWinRect);
    *rect = mPluginWinRect;
}

CPlugInView* IPlugProcess::CreateCPlugInView() {
    try {
        IPlugCustomUI* ui = EnsureCustomUI();
        if (!ui || !ui->GetGraphics() || !GetGroup()) return nullptr;
        ViewRect rect;
        ui->GetRect(&rect);
        std::unique_ptr<CPlugInView> container = CreateViewContainer(
            GetGroup()->GetCustomViews(), kDigiViewDescription, static_cast<int16_t>(rect.right - rect.left),
            static_cast<int16_t>(rect.bottom - rect.top));
        if (!container) return nullptr;
        CCustomView* view = container->FindCustomView("IPlugDigiView");
        if (!view) return nullptr;
        mCustomView = static_cast<IPlugDigiView*>(view);
        mCustomView->SetCustomUI(ui);
        return container.release();
    } catch (...) {
        return nullptr;
    }
}

void IPlugProcess::SetViewPort(const ViewPort* port) {
    mViewPort = port ? *port : ViewPort();
    if (!port) {
        if (mCustomUI) mCustomUI->Close();
        if (mCustomView) mCustomView->SetCustomUI(nullptr);
        mCustomView = nullptr;
        return;
    }
    IPlugCustomUI* ui = EnsureCustomUI();
    if (!ui) return;
    if (!mOffsetTaken && port->bounds.top <= 0 && port->bounds.left <= 0) {
        mLeftOffset = static_cast<int16_t>(-port->bounds.left);
        mTopOffset = static_cast<int16_t>(-port->bounds.top);
        mOffsetTaken = true;
    }
    try {
        ui->Open(port->window, mLeftOffset, mTopOffset);
    } catch (...) {
        ui->Close();  // out of memory: no editor rather than a half-open one
    }
}

int32_t IPlugProcess::ChooseControl(int /*x*/, int /*y*/) {
    if (!mPlug || !mPlug->GetGUI()) return 0;
    const int param = static_cast<IGraphics*>(mPlug->GetGUI())->GetLastClickedParamForPTAutomation();
    return param >= 0 ? param + kFirstParamControl : 0;
}

void IPlugProcess::ForgetCustomView(IPlugDigiView* view) {
    if (mCustomView == view) mCustomView = nullptr;
}
