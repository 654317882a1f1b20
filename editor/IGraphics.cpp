#include "editor/IGraphics.h"

#include "editor/IControls.h"
#include "framework/IPlugBase.h"
#include "raster/Bitmap.h"

IGraphics::IGraphics(IPlugBase* plug, int w, int h, int fps)
    : mPlug(plug), mWidth(w), mHeight(h), mFPS(fps > 0 ? fps : 25) {}

IGraphics::~IGraphics() {
    while (mLoadedImages.GetSize() > 0) mLoadedImages.Delete(mLoadedImages.GetSize() - 1, true);
    delete mKeyCatcher;
    mKeyCatcher = nullptr;
    DeleteControls();
    delete mDrawBitmap;
    mDrawBitmap = nullptr;
    delete mTmpBitmap;
    mTmpBitmap = nullptr;
}

void IGraphics::DeleteControls() {
    while (mControls.GetSize() > 0) mControls.Delete(mControls.GetSize() - 1, true);
}

bool IGraphics::MeasureIText(IText* text, char* str, IRECT* destRect) {
    return DrawIText(text, str, destRect, true);
}

void IGraphics::Resize(int w, int h) {
    {
        // The plug-in side feeds controls under the plug-in mutex; hold it while the list is rebuilt.
        WDL_MutexLock lock(mPlug ? mPlug->GetMutex() : nullptr);
        mWidth = w;
        mHeight = h;
        ReleaseMouseCapture();
        mMouseOver = -1;
        DeleteControls();
        delete mDrawBitmap;
        mDrawBitmap = nullptr;
        delete mTmpBitmap;
        mTmpBitmap = nullptr;
        PrepDraw();
    }
    if (mPlug) mPlug->ResizeGraphics(w, h);
}

bool IGraphics::WindowIsOpen() {
    return GetWindow() != nullptr;
}

const char* IGraphics::GetGUIAPI() {
    return "";
}

void* IGraphics::OpenWindow(void*, void*, short, short) {
    return nullptr;
}

void IGraphics::AttachSubWindow(void*) {}

void IGraphics::RemoveSubWindow() {}

int IGraphics::AttachControl(IControl* c) {
    if (!c) return -1;
    const int idx = mControls.GetSize();
    if (!mControls.Add(c)) {
        delete c;
        return -1;
    }
    c->SetGUI(this);
    return idx;
}

void IGraphics::AttachPanelBackground(const IColor* color) {
    if (color) mBackgroundColor = *color;
    IControl* bg = new IPanelControl(mPlug, IRECT(0, 0, mWidth, mHeight), color);
    if (!mControls.Insert(0, bg)) {
        delete bg;
        return;
    }
    bg->SetGUI(this);
}

void IGraphics::HideControl(int paramIdx, bool hide) {
    for (int i = 0; i < mControls.GetSize(); ++i) {
        IControl* c = mControls.Get(i);
        if (c->ParamIdx() == paramIdx) c->Hide(hide);
    }
}

void IGraphics::GrayOutControl(int paramIdx, bool gray) {
    for (int i = 0; i < mControls.GetSize(); ++i) {
        IControl* c = mControls.Get(i);
        if (c->ParamIdx() == paramIdx) c->GrayOut(gray);
    }
}

void IGraphics::PrepDraw() {
    mRastersPrepared = true;
}

LICE_IBitmap* IGraphics::GetDrawBitmap() const {
    // Made at the first use: an editor that is never drawn (a host without a UI, the command line
    // measuring a file) never holds the memory.
    if (mRastersPrepared && !mDrawBitmap) {
        mDrawBitmap = new LICE_SysBitmap(ScreenWidth(), ScreenHeight());
        mTmpBitmap = new LICE_MemBitmap();
    }
    return mDrawBitmap;
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
    if (!normalized) {
        IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        if (!param) return;
        value = param->GetNormalized(value);
    }
    for (int i = 0; i < mControls.GetSize(); ++i) {
        IControl* c = mControls.Get(i);
        if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(value);
        const int aux = c->AuxParamIdx(paramIdx);
        if (aux >= 0) c->SetAuxParamValueFromPlug(aux, value);
    }
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue) {
    if (controlIdx < 0 || controlIdx >= mControls.GetSize()) return;
    mControls.Get(controlIdx)->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetTextFromPlug(int controlIdx, const char* text) {
    if (auto* c = dynamic_cast<ITextControl*>(mControls.Get(controlIdx))) c->SetTextFromPlug(text);
}

void IGraphics::SetAllControlsDirty() {
    for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->SetDirty(false);
}

void IGraphics::SetKeyCatcher(IControl* c) {
    delete mKeyCatcher;
    mKeyCatcher = c;
    if (c) c->SetGUI(this);
}

int IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver) {
    for (int i = mControls.GetSize() - 1; i >= 0; --i) {
        IControl* c = mControls.Get(i);
        if (c->IsHidden()) continue;
        if (c->IsGrayed() && !(mouseOver && c->GetMOWhenGrayed())) continue;
        if (c->IsHit(x, y)) return i;
    }
    return -1;
}

void IGraphics::ReleaseMouseCapture() {
    mMouseCapture = -1;
    mMouseX = -1;
    mMouseY = -1;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod) {
    mMouseDown.store(true, std::memory_order_release);
    ReleaseMouseCapture();
    const int idx = GetMouseControlIdx(x, y);
    if (idx < 0) return;
    mMouseCapture = idx;
    mMouseX = x;
    mMouseY = y;
    IControl* c = mControls.Get(idx);
    const int paramIdx = c->ParamIdx();
    if (paramIdx >= 0 && mPlug && c->PressIsGesture()) mPlug->BeginInformHostOfParamChange(paramIdx);
    c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod) {
    mMouseDown.store(false, std::memory_order_release);
    int idx = mMouseCapture;
    if (idx < 0) idx = GetMouseControlIdx(x, y);
    ReleaseMouseCapture();
    IControl* c = mControls.Get(idx);
    if (!c) return;
    c->OnMouseUp(x, y, mod);
    const int paramIdx = c->ParamIdx();
    if (paramIdx >= 0 && mPlug && c->PressIsGesture()) mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod) {
    IControl* c = mControls.Get(mMouseCapture);
    if (!c) return;
    if (x == mMouseX && y == mMouseY) return;
    const int dX = x - mMouseX;
    const int dY = y - mMouseY;
    mMouseX = x;
    mMouseY = y;
    c->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod) {
    ReleaseMouseCapture();
    const int idx = GetMouseControlIdx(x, y);
    IControl* c = mControls.Get(idx);
    if (!c) return false;
    if (c->GetDblAsSingleClick()) {
        mMouseCapture = idx;
        mMouseX = x;
        mMouseY = y;
        c->OnMouseDown(x, y, mod);
        return true;
    }
    c->OnMouseDblClick(x, y, mod);
    return false;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
    const int idx = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
    if (IControl* c = mControls.Get(idx)) c->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod) {
    if (!mHandleMouseOver) return false;
    const int idx = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y, true);
    IControl* c = mControls.Get(idx);
    if (!c) return mHandleMouseOver;
    mMouseX = x;
    mMouseY = y;
    c->OnMouseOver(x, y, mod);
    if (mMouseOver != idx) {
        if (IControl* previous = mControls.Get(mMouseOver)) previous->OnMouseOut();
    }
    mMouseOver = idx;
    return mHandleMouseOver;
}

void IGraphics::OnMouseOut() {
    if (IControl* previous = mControls.Get(mMouseOver)) previous->OnMouseOut();
    mMouseOver = -1;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
    const int idx = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
    if (idx > 0) return mControls.Get(idx)->OnKeyDown(x, y, key);
    if (mKeyCatcher) return mKeyCatcher->OnKeyDown(x, y, key);
    return false;
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y) {
    const int idx = mMouseCapture >= 0 ? mMouseCapture : GetMouseControlIdx(x, y);
    const int paramIdx = idx > 0 ? mControls.Get(idx)->ParamIdx() : -1;
    mLastClickedParam.store(paramIdx, std::memory_order_release);
    return paramIdx;
}

int IGraphics::GetLastClickedParamForPTAutomation() {
    return mLastClickedParam.exchange(-1, std::memory_order_acq_rel);
}
