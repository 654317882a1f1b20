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
    // Only the area being drawn: the rest of the raster keeps what it shows, and a small area does not
    // cost a fill of the whole editor.
    IRECT r = mRECT;
    const IRECT* drawing = g->GetDrawRECT();
    if (!drawing->Empty()) r = mRECT.Intersect(drawing);
    if (!r.Empty()) g->FillIRect(&mColor, &r, &mBlend);
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
    const char* text = mStr.Current();
    if (!text[0]) return true;
    char buf[SharedText::kCapacity];
    std::snprintf(buf, sizeof(buf), "%s", text);
    return g->DrawIText(&mText, buf, &mRECT, false);
}

IRECT ITextControl::GetDrawArea() {
    if (mDrawAreaKnown) return mDrawArea;
    IGraphics* g = GetGUI();
    const char* text = mStr.Current();
    if (!g || !text[0]) return IRECT();
    char buf[SharedText::kCapacity];
    std::snprintf(buf, sizeof(buf), "%s", text);
    IRECT box = mRECT;
    if (!g->MeasureIText(&mText, buf, &box)) return mRECT;
    // Glyph ink may start left of the pen or end past the advance (about a fifth of the size for the
    // faces in use), and the raster's rounding may add a pixel above or below the line.
    const int side = mText.mSize / 4 + 2;
    mDrawArea = IRECT(box.L - side, box.T - 2, box.R + side, box.B + 2);
    mDrawAreaKnown = true;
    return mDrawArea;
}

void ITextControl::OnChangesCollected() {
    const char* before = mStr.Current();
    if (mStr.Get() != before) mDrawAreaKnown = false;
}

void ITextControl::SetTextFromPlug(const char* text) {
    if (mStr.Set(text)) SetDirty(false);
}
