#include "editor/IControl.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "framework/IPlugBase.h"

IControl::IControl(IPlugBase* plug, IRECT rect, int paramIdx, int blendMethod)
    : mPlug(plug), mRECT(rect), mTargetRECT(rect), mParamIdx(paramIdx), mBlend(blendMethod, 1.0f) {}

IControl::~IControl() = default;

void IControl::OnMouseDown(int, int, IMouseMod* mod) {
    if (mod && mod->R) PromptUserInput();
}

void IControl::OnMouseUp(int, int, IMouseMod*) {}

void IControl::OnMouseDrag(int, int, int, int, IMouseMod*) {}

void IControl::OnMouseDblClick(int, int, IMouseMod*) {
    const double def = mDefaultValue.Get();
    if (def >= 0.0) {
        mValue = def;
        SetDirty(true);
    }
}

void IControl::OnMouseWheel(int, int, IMouseMod* mod, int d) {
    const bool fine = mod && (mod->C || mod->S);
    mValue += (fine ? 0.001 : 0.01) * d;
    SetDirty(true);
}

bool IControl::OnKeyDown(int, int, int) {
    return false;
}

void IControl::OnMouseOver(int, int, IMouseMod*) {}

void IControl::OnMouseOut() {}

void IControl::SetValueFromPlug(double value) {
    if (mDefaultValue.Get() < 0.0) {
        mDefaultValue = value;
        mValue = value;
        return;
    }
    if (value != mValue.Get()) {
        mValue = value;
        SetDirty(false);
        Redraw();
    }
}

void IControl::TextFromTextEntry(const char*) {}

void IControl::Hide(bool hide) {
    mHide.store(hide, std::memory_order_release);
    Redraw();
    SetDirty(false);
}

void IControl::GrayOut(bool gray) {
    mGrayed.store(gray, std::memory_order_release);
    SetDirty(false);
}

bool IControl::IsHit(int x, int y) {
    return mTargetRECT.Contains(x, y);
}

void IControl::SetDirty(bool pushToPlug) {
    double v = mValue.Get();
    // NaN is held at the lower bound so that no frame or parameter computation ever sees it.
    if (!(v >= mClampLo)) {
        v = mClampLo;
    } else {
        v = std::min(mClampHi, v);
    }
    mValue = v;
    MarkDirty();

    if (!pushToPlug || !mPlug || mParamIdx < 0) return;
    mPlug->SetParameterFromGUI(mParamIdx, v);
    IParam* param = mPlug->GetParam(mParamIdx);
    if (!param || (!mValDisplayControl && !mNameDisplayControl)) return;

    // Read-outs are written under the plug-in mutex, like every other writer of their text.
    WDL_MutexLock lock(mPlug->GetMutex());
    if (mValDisplayControl) {
        char display[IParam::kDisplaySize] = "";
        param->GetDisplayForHost(param->Value(), false, display, true);
        char text[IParam::kDisplaySize * 2 + 2];
        std::snprintf(text, sizeof(text), "%.32s %.32s", display, param->GetLabelForHost());
        mValDisplayControl->SetTextFromPlug(text);
    }
    if (mNameDisplayControl) mNameDisplayControl->SetTextFromPlug(param->GetNameForHost());
}

void IControl::SetClean() {
    mDirty = mRedraw;
    mRedraw = false;
}

bool IControl::IsDirty() {
    return mDirty || (mChanges.load(std::memory_order_acquire) & kChangeDirty) != 0;
}

IRECT IControl::GetDrawArea() {
    return mRECT;
}

bool IControl::TakeDirtyArea(IRECT* area) {
    if (!mDirty) return false;
    if (IsHidden()) {
        if (!mShown) {
            // Nothing of it is on screen, so nothing beneath needs drawing again.
            mDirty = mRedraw = false;
            return false;
        }
        *area = mShownArea;
        mShownArea = IRECT();
        mShown = false;
        return true;
    }
    const IRECT now = GetDrawArea();
    *area = mShown ? mShownArea.Union(&now) : now;
    mShownArea = now;
    mShown = true;
    return true;
}

void IControl::OnGUIIdle() {}

void IControl::SetAuxParamValueFromPlug(int auxIndex, double value) {
    if (auxIndex < 0 || auxIndex >= NAuxParams()) return;
    AuxParam& aux = mAuxParams[static_cast<size_t>(auxIndex)];
    if (aux.mValue.Get() != value) {
        aux.mValue = value;
        SetDirty(false);
        Redraw();
    }
}

void IControl::SetValueFromUserInput(double value) {
    if (value != mValue.Get()) {
        mValue = value;
        SetDirty(true);
        Redraw();
    }
}

void IControl::PromptUserInput() {
    if (mParamIdx < 0 || mDisablePrompt || !mPlug) return;
    IParam* param = mPlug->GetParam(mParamIdx);
    if (!param) return;
    IRECT r = mRECT;
    if (param->GetNDisplayTexts() == 0) {
        const int cX = static_cast<int>(static_cast<float>(mRECT.L + mRECT.R) * 0.5f);
        const int cY = static_cast<int>(static_cast<float>(mRECT.T + mRECT.B) * 0.5f);
        r = IRECT(cX - 15, cY - 8, cX + 15, cY + 8);
    }
    if (IGraphics* g = GetGUI()) g->PromptUserInput(this, param, &r);
    Redraw();
}

void IControl::PromptUserInput(IRECT* r) {
    if (mParamIdx < 0 || mDisablePrompt || !mPlug || !r) return;
    IParam* param = mPlug->GetParam(mParamIdx);
    if (!param) return;
    if (IGraphics* g = GetGUI()) g->PromptUserInput(this, param, r);
    Redraw();
}

void IControl::AddAuxParam(int paramIdx) {
    mAuxParams.push_back(AuxParam{SharedValue(0.0), paramIdx});
}

int IControl::AuxParamIdx(int paramIdx) const {
    for (size_t i = 0; i < mAuxParams.size(); ++i)
        if (mAuxParams[i].mParamIdx == paramIdx) return static_cast<int>(i);
    return -1;
}

double IControl::GetAuxParamValue(int auxIndex) const {
    if (auxIndex < 0 || auxIndex >= NAuxParams()) return 0.0;
    return mAuxParams[static_cast<size_t>(auxIndex)].mValue.Get();
}

int IControl::GetAuxParamIdx(int auxIndex) const {
    if (auxIndex < 0 || auxIndex >= NAuxParams()) return -1;
    return mAuxParams[static_cast<size_t>(auxIndex)].mParamIdx;
}

void IControl::CollectChanges() {
    const unsigned changes = mChanges.exchange(0, std::memory_order_acq_rel);
    if (changes & kChangeDirty) mDirty = true;
    if (changes & kChangeRedraw) mRedraw = true;
    const bool gray = mGrayed.load(std::memory_order_acquire);
    if (gray != mGrayApplied) {
        mGrayApplied = gray;
        mBlend.mWeight = gray ? 0.25f : 1.0f;
    }
    OnChangesCollected();
}

void IControl::Redraw() {
    mChanges.fetch_or(kChangeRedraw, std::memory_order_acq_rel);
}

void IControl::MarkDirty() {
    mChanges.fetch_or(kChangeDirty, std::memory_order_acq_rel);
}

IParam* IControl::GetParam() const {
    return mPlug ? mPlug->GetParam(mParamIdx) : nullptr;
}
