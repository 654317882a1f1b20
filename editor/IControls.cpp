#include "editor/IControls.h"

#include <cmath>
#include <cstdio>

#include "editor/IGraphics.h"

namespace {

IRECT FrameRect(int x, int y, const IBitmap* bitmap) {
    if (!bitmap) return IRECT(x, y, x, y);
    return IRECT(x, y, x + bitmap->FrameWidth(), y + bitmap->FrameHeight());
}

}  // namespace

IPanelControl::IPanelControl(IPlugBase* plug, IRECT rect, const IColor* color)
    : IControl(plug, rect), mColor(color ? *color : COLOR_BLACK) {}

bool IPanelControl::Draw(IGraphics* g) {
    g->FillIRect(&mColor, &mRECT, &mBlend);
    return true;
}

IBitmapControl::IBitmapControl(IPlugBase* plug, int x, int y, int paramIdx, const IBitmap* bitmap,
                               int blendMethod)
    : IControl(plug, FrameRect(x, y, bitmap), paramIdx, blendMethod), mBitmap(bitmap ? *bitmap : IBitmap()) {}

int IBitmapControl::FrameForValue(int n, double value) {
    if (n < 2) return 1;
    const double k = std::trunc((n - 1) * value + 0.5);
    if (!(k >= 0.0)) return 1;
    if (k < n) return static_cast<int>(k) + 1;
    return n;
}

bool IBitmapControl::Draw(IGraphics* g) {
    const int frame = FrameForValue(mBitmap.N, mValue.Get());
    return g->DrawBitmap(&mBitmap, &mRECT, frame, &mBlend);
}

IKnobControl::IKnobControl(IPlugBase* plug, IRECT rect, int paramIdx, int direction, double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, IMouseMod* mod) {
    double gearing = mGearing;
    if (mod && (mod->C || mod->S)) gearing *= 10.0;
    // A control without extent (its image failed to load) cannot be dragged: no division by zero.
    if (mDirection == kVertical) {
        const int extent = mRECT.T - mRECT.B;
        if (extent != 0 && gearing != 0.0) mValue += static_cast<double>(dY) / extent / gearing;
    } else {
        const int extent = mRECT.R - mRECT.L;
        if (extent != 0 && gearing != 0.0) mValue += static_cast<double>(dX) / extent / gearing;
    }
    SetDirty(true);
}

ITextControl::ITextControl(IPlugBase* plug, IRECT rect, const IText* style, const char* text)
    : IControl(plug, rect), mStr(text) {
    if (style) mText = *style;
}

bool ITextControl::Draw(IGraphics* g) {
    const char* text = mStr.Get();
    if (!text[0]) return true;
    char buf[SharedText::kCapacity];
    std::snprintf(buf, sizeof(buf), "%s", text);
    return g->DrawIText(&mText, buf, &mRECT, false);
}

void ITextControl::SetTextFromPlug(const char* text) {
    if (mStr.Set(text)) SetDirty(false);
}
