#include "editor/IGraphicsStructs.h"

#include <algorithm>
#include <cstring>

IRECT IRECT::Union(const IRECT* other) const {
    if (Empty()) return *other;
    if (other->Empty()) return *this;
    return IRECT(std::min(L, other->L), std::min(T, other->T), std::max(R, other->R), std::max(B, other->B));
}

bool IRECT::Intersects(const IRECT* other) const {
    if (Empty() || other->Empty()) return false;
    return R >= other->L && L < other->R && B >= other->T && T < other->B;
}

IRECT IRECT::Intersect(const IRECT* other) const {
    if (!Intersects(other)) return IRECT();
    return IRECT(std::max(L, other->L), std::max(T, other->T), std::min(R, other->R), std::min(B, other->B));
}

uint32_t IColorToPixel(const IColor& c) {
    return (static_cast<uint32_t>(c.A) & 0xFFu) | ((static_cast<uint32_t>(c.R) & 0xFFu) << 8) |
           ((static_cast<uint32_t>(c.G) & 0xFFu) << 16) | ((static_cast<uint32_t>(c.B) & 0xFFu) << 24);
}

IText::IText(int size, const IColor* color, const char* font, int style, int align, int orientation,
             int quality, const IColor* textEntryBGColor, const IColor* textEntryFGColor)
    : mSize(size),
      mColor(color ? *color : DEFAULT_TEXT_COLOR),
      mTextEntryBGColor(textEntryBGColor ? *textEntryBGColor : DEFAULT_TEXT_ENTRY_BGCOLOR),
      mTextEntryFGColor(textEntryFGColor ? *textEntryFGColor : DEFAULT_TEXT_ENTRY_FGCOLOR),
      mStyle(style),
      mAlign(align),
      mOrientation(orientation),
      mQuality(quality),
      mCached(nullptr) {
    SetFont(font);
}

void IText::SetFont(const char* font) {
    std::memset(mFont, 0, sizeof(mFont));
    std::strncpy(mFont, font ? font : "Monaco", kFontNameLen - 1);
    mCached = nullptr;
}

int IBitmap::FrameWidth() const {
    const int n = N < 1 ? 1 : N;
    return mFramesAreHorizontal ? W / n : W;
}

int IBitmap::FrameHeight() const {
    const int n = N < 1 ? 1 : N;
    return mFramesAreHorizontal ? H : H / n;
}
