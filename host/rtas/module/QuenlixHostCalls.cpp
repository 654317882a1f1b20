// The module's inspection call (see QuenlixHostCalls.h): reads the engines and the read-out texts of one
// instance under its plug-in mutex and copies them into the caller's plain record.
#include "host/rtas/module/QuenlixHostCalls.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "common/Levels.h"
#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsHeadless.h"
#include "editor/IGraphicsX11.h"
#include "editor/WindowSystem.h"
#include "host/rtas/IPlugProcess.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/Quenlix.h"

// Last: its macros (None, Bool, Status) would rewrite the names of the headers above.
#include <X11/Xlib.h>

namespace {

// The texts of the active type's read-outs, in the order of its column.
void CopyReadouts(const Quenlix& plug, const int* params, int count, QuenlixMeterReport* r) {
    IGraphics* editor = plug.GetEditor();
    r->mNumReadouts = 0;
    for (int i = 0; i < count && editor; ++i) {
        const ITextControl* text =
            dynamic_cast<const ITextControl*>(editor->GetControl(plug.GetReadoutTextControl(params[i])));
        if (!text) return;
        const char* s = text->GetTextForPlug();
        const size_t n = s ? strnlen(s, kQuenlixInspectTextSize - 1) : 0;
        if (n > 0) std::memcpy(r->mReadouts[i], s, n);
        r->mReadouts[i][n] = '\0';
        r->mNumReadouts = i + 1;
    }
}

void ReadEbu(const EBUMM6& ebu, QuenlixMeterReport* r) {
    r->mEbuIntegratedLufs = ebu.mIntegrator.mIntegratedLufs;
    r->mEbuIntegratedValid = ebu.mIntegrator.mCount >= 1;
    r->mEbuMomentaryValid = ebu.mMomentary.mFull == 1;
    r->mEbuMomentaryLufs = LoudnessLufs(ebu.mMomentary.mResult);
    r->mEbuMomentaryMaxLufs = LoudnessLufs(ebu.mMomentary.mMaxResult);
    r->mEbuShortTermValid = ebu.mShortTerm.mFull == 1;
    r->mEbuShortTermLufs = LoudnessLufs(ebu.mShortTerm.mResult);
    r->mEbuShortTermMaxLufs = LoudnessLufs(ebu.mShortTerm.mMaxResult);
    r->mEbuRangeLu = ebu.mLra.mRangeLu;
    r->mEbuRangeValid = ebu.mLra.mCount >= 1;
    for (int k = 0; k < kQuenlixInspectSlots; ++k)
        r->mEbuTruePeakDbtp[k] = LevelDb(ebu.mTruePeak[k].mTruePeakMax);
}

void ReadRms(const RMSMM6& rms, QuenlixMeterReport* r) {
    const double rmsOffset = rms.mRmsOffsetDb + rms.mCommonOffsetDb;
    r->mRmsWindowValid = rms.mFull == 1;
    r->mRmsIntegratedDbfs = LevelDb(std::sqrt(rms.mIntegratedMeanSquare)) + rmsOffset;
    r->mRmsMomentaryDbfs = LevelDb(std::sqrt(rms.mMeanSquare)) + rmsOffset;
    r->mRmsMomentaryMaxDbfs = LevelDb(std::sqrt(rms.mMaxMeanSquare)) + rmsOffset;
    r->mRmsSamplePeakDbfs = LevelDb(rms.mPeakMax) + rms.mPeakOffsetDb;
    double truePeak = 0.0;
    for (int k = 0; k < kQuenlixInspectSlots; ++k)
        truePeak = std::max(truePeak, rms.mTruePeak[k].mTruePeakMax);
    r->mRmsTruePeakDbfs = LevelDb(truePeak) + rms.mPeakOffsetDb;
    // The crest factor as the engine defines it (peak maximum over integrated level, offsets included),
    // without its rounding to 0.1 dB.
    r->mRmsCrestValid = r->mRmsWindowValid && r->mRmsIntegratedDbfs >= -140.0;
    r->mRmsCrestDb = (r->mRmsSamplePeakDbfs + rms.mCommonOffsetDb) - r->mRmsIntegratedDbfs;
}

Quenlix* PlugOfProcess(void* process) {
    IPlugProcess* owner = dynamic_cast<IPlugProcess*>(static_cast<CEffectProcessRTAS*>(process));
    return owner ? dynamic_cast<Quenlix*>(owner->GetPlug()) : nullptr;
}

void SetError(char* error, int errorSize, const std::string& text) {
    if (!error || errorSize <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(errorSize - 1));
    std::memcpy(error, text.data(), n);
    error[n] = '\0';
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int QuenlixInspect(void* process,
                                                                     QuenlixMeterReport* report) {
    if (!process || !report || report->mStructSize != sizeof(QuenlixMeterReport)) return -1;
    Quenlix* plug = PlugOfProcess(process);
    if (!plug) return -1;

    QuenlixMeterReport r;
    std::memset(&r, 0, sizeof r);
    r.mStructSize = sizeof r;
    r.mVendorVersion = plug->GetEffectVersion();
    {
        WDL_MutexLock lock(plug->GetMutex());
        r.mMeterType = plug->GetParam(Quenlix::kType)->Int() == 1 ? 1 : 0;
        ReadEbu(plug->GetEbuMeter(), &r);
        ReadRms(plug->GetRmsMeter(), &r);
        if (r.mMeterType == 1)
            CopyReadouts(*plug, quenlix::kEbuReadoutParams.data(), quenlix::kNumEbuReadouts, &r);
        else
            CopyReadouts(*plug, quenlix::kRmsReadoutParams.data(), quenlix::kNumRmsReadouts, &r);
    }
    *report = r;
    return 0;
}

extern "C" __attribute__((visibility("default"))) int QuenlixWriteEditorPicture(void* process,
                                                                                const char* pngPath,
                                                                                char* error, int errorSize) {
    Quenlix* plug = process ? PlugOfProcess(process) : nullptr;
    if (!plug || !pngPath) {
        SetError(error, errorSize, "not a Quenlix instance");
        return -1;
    }
    IGraphicsHeadless* screen = dynamic_cast<IGraphicsHeadless*>(plug->GetEditor());
    if (!screen || !screen->WindowIsOpen()) {
        SetError(error, errorSize, "the editor view is not open");
        return -1;
    }
    std::string reason;
    if (!screen->WriteScreenPNG(pngPath, &reason)) {
        SetError(error, errorSize,
                 "cannot write " + std::string(pngPath) + (reason.empty() ? "" : ": " + reason));
        return -1;
    }
    return 0;
}

extern "C" __attribute__((visibility("default"))) int QuenlixUseWindowSystem(int system) {
    if (system == static_cast<int>(EWindowSystem::kHeadless)) {
        SetWindowSystem(EWindowSystem::kHeadless);
        return 0;
    }
    if (system != static_cast<int>(EWindowSystem::kX11)) return -1;
    // Asked now rather than when a window opens, so a host without a screen learns it before metering.
    Display* display = XOpenDisplay(nullptr);
    if (!display) return -1;
    XCloseDisplay(display);
    SetWindowSystem(EWindowSystem::kX11);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int QuenlixEditorCloseRequested(void* process) {
    Quenlix* plug = process ? PlugOfProcess(process) : nullptr;
    if (!plug) return 0;
    auto* window = dynamic_cast<IGraphicsX11*>(plug->GetEditor());
    if (!window) return 0;
    if (window->ConnectionLost()) return 2;
    return window->CloseRequested() || !window->WindowIsOpen() ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) int QuenlixSetEditorWindowTitle(void* process,
                                                                                  const char* title) {
    Quenlix* plug = process ? PlugOfProcess(process) : nullptr;
    auto* window = plug ? dynamic_cast<IGraphicsX11*>(plug->GetEditor()) : nullptr;
    if (!window || !title) return -1;
    window->SetWindowTitle(title);
    return 0;
}

extern "C" __attribute__((visibility("default"))) int QuenlixSetEditorScale(void* process, double scale) {
    Quenlix* plug = process ? PlugOfProcess(process) : nullptr;
    IGraphics* editor = plug ? plug->GetEditor() : nullptr;
    const bool drawn = scale == 1.0 || scale == 1.5 || scale == 2.0;
    if (!editor || !(drawn || scale == 0.0)) return -1;
    if (auto* window = dynamic_cast<IGraphicsX11*>(editor)) {
        window->SetRequestedScale(scale);
        return 0;
    }
    if (!drawn) return -1;
    editor->SetScale(scale);
    return 0;
}
