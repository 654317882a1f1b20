// IGraphics at a scale factor: the mapping between 1x editor coordinates and screen pixels, the images
// of each scale, and blits and text drawn natively at the scale. UI thread.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "editor/IGraphics.h"
#include "editor/ResourceCaches.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/Font.h"

namespace {

// Images of another scale share the bitmap cache with the 1x ones, under the 1x ID plus this stride
// times the scale's number (1 for 1.5, 2 for 2); resource IDs stay far below it.
constexpr int kScaledIdStride = 1 << 24;

int ScaleNumber(double scale) {
    return scale == 1.5 ? 1 : 2;
}

// "resources/img/value.png" at 2 is "resources/img/value@2x.png".
std::string ScaledName(const char* name, double scale) {
    std::string s = name ? name : "";
    const size_t dot = s.rfind('.');
    if (dot == std::string::npos) return s;
    return s.substr(0, dot) + (scale == 1.5 ? "@1.5x" : "@2x") + s.substr(dot);
}

// The 1x image enlarged without smoothing, for an image that has no file of the scale.
LICE_IBitmap* Enlarge(const LICE_IBitmap* src, double scale) {
    const int w = static_cast<int>(std::floor(src->getWidth() * scale + 0.5));
    const int h = static_cast<int>(std::floor(src->getHeight() * scale + 0.5));
    auto* out = new LICE_MemBitmap(w, h);
    for (int y = 0; y < h; ++y) {
        const int sy = std::min(static_cast<int>(y / scale), src->getHeight() - 1);
        for (int x = 0; x < w; ++x) {
            const int sx = std::min(static_cast<int>(x / scale), src->getWidth() - 1);
            out->getBits()[static_cast<size_t>(y) * out->getRowSpan() + x] =
                src->getBits()[static_cast<size_t>(sy) * src->getRowSpan() + sx];
        }
    }
    return out;
}

}  // namespace

double IGraphics::SupportedScale(double requested) {
    if (!(requested >= 1.25)) return 1.0;
    return requested < 1.75 ? 1.5 : 2.0;
}

void IGraphics::SetScale(double scale) {
    scale = SupportedScale(scale);
    if (scale == mScale) return;
    mScale = scale;
    // The raster of the new size is made when the editor next draws.
    delete mDrawBitmap;
    mDrawBitmap = nullptr;
    delete mTmpBitmap;
    mTmpBitmap = nullptr;
    SetAllControlsDirty();
}

int IGraphics::ToScreen(int v) const {
    if (mScale == 1.0) return v;
    return static_cast<int>(std::floor(v * mScale + 0.5));
}

IRECT IGraphics::ToScreen(const IRECT& r) const {
    if (mScale == 1.0 || r.Empty()) return r;
    return IRECT(ToScreen(r.L), ToScreen(r.T), ToScreen(r.R), ToScreen(r.B));
}

IRECT IGraphics::ToScreenArea(const IRECT& r) const {
    if (mScale == 1.0 || r.Empty()) return r;
    return IRECT(static_cast<int>(std::floor(r.L * mScale)), static_cast<int>(std::floor(r.T * mScale)),
                 static_cast<int>(std::ceil(r.R * mScale)), static_cast<int>(std::ceil(r.B * mScale)));
}

int IGraphics::FromScreen(int v) const {
    if (mScale == 1.0) return v;
    return static_cast<int>(std::floor(v / mScale));
}

IRECT IGraphics::FromScreenArea(const IRECT& r) const {
    if (mScale == 1.0 || r.Empty()) return r;
    return IRECT(static_cast<int>(std::floor(r.L / mScale)), static_cast<int>(std::floor(r.T / mScale)),
                 static_cast<int>(std::ceil(r.R / mScale)), static_cast<int>(std::ceil(r.B / mScale)));
}

void IGraphics::RememberImage(const LICE_IBitmap* data, int ID, const char* name) {
    for (int i = 0; i < mLoadedImages.GetSize(); ++i)
        if (mLoadedImages.Get(i)->mData == data) return;
    auto* image = new LoadedImage{data, ID, WDL_String()};
    image->mName.Set(name ? name : "");
    mLoadedImages.Add(image);
}

LICE_IBitmap* IGraphics::ScaledBitmap(const IBitmap* bitmap) {
    if (mScale == 1.0 || !bitmap->mData) return nullptr;
    const LoadedImage* image = nullptr;
    for (int i = 0; i < mLoadedImages.GetSize() && !image; ++i)
        if (mLoadedImages.Get(i)->mData == bitmap->mData) image = mLoadedImages.Get(i);
    if (!image) return nullptr;
    BitmapStorage& storage = BitmapStorage::Instance();
    const int key = image->mID + kScaledIdStride * ScaleNumber(mScale);
    if (LICE_IBitmap* bm = storage.Find(key)) return bm;
    LICE_IBitmap* loaded = OSLoadBitmap(key, ScaledName(image->mName.Get(), mScale).c_str());
    if (!loaded) loaded = Enlarge(bitmap->mData, mScale);
    return storage.Add(key, loaded);
}

bool IGraphics::DrawScaledBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY,
                                 const IChannelBlend* blend) {
    LICE_IBitmap* data = ScaledBitmap(bitmap);
    if (!data) return true;
    const int dataW = data->getWidth(), dataH = data->getHeight();
    double sx = 0.0, sy = 0.0;
    if (frame > 0) {
        // The frame's place in the strip of this scale: each frame of it starts on a whole pixel.
        if (bitmap->N >= 2 && frame >= 2) {
            if (bitmap->mFramesAreHorizontal) {
                sx = static_cast<double>(frame - 1) * (dataW / bitmap->N);
            } else {
                sy = static_cast<double>(frame - 1) * (dataH / bitmap->N);
            }
        }
    } else {
        if (bitmap->W > 0) sx = std::floor(static_cast<double>(srcX) * dataW / bitmap->W + 0.5);
        if (bitmap->H > 0) sy = std::floor(static_cast<double>(srcY) * dataH / bitmap->H + 0.5);
    }
    if (sx > INT_MAX || sy > INT_MAX) return true;
    const IRECT to = ToScreen(*dest);
    const IRECT clip = ToScreenArea(mDrawRECT);
    const IRECT r = to.Intersect(&clip);
    LICE_Blit(GetDrawBitmap(), data, r.L, r.T, static_cast<int>(sx) + r.L - to.L,
              static_cast<int>(sy) + r.T - to.T, r.W(), r.H(), blend ? blend->mWeight : 1.0f,
              !blend                                              ? LICE_BLIT_MODE_COPY
              : blend->mMethod == IChannelBlend::kBlendClobber    ? LICE_BLIT_MODE_CLOBBER
              : blend->mMethod == IChannelBlend::kBlendAdd        ? LICE_BLIT_MODE_ADD
              : blend->mMethod == IChannelBlend::kBlendColorDodge ? LICE_BLIT_MODE_DODGE
                                                                  : LICE_BLIT_MODE_COPY);
    return true;
}

bool IGraphics::DrawScaledIText(IText* text, char* str, IRECT* r, bool measure) {
    // The style at the scale's size: a face of its own, drawn natively rather than enlarged.
    IText scaled = *text;
    scaled.mSize = std::max(1, ToScreen(text->mSize));
    scaled.mCached = nullptr;
    LICE_IFont* font = CacheFont(&scaled);
    if (!font) return false;
    const LICE_pixel color = IColorToPixel(text->mColor);
    unsigned int flags = LICE_DT_NOCLIP | LICE_DT_TOP;
    if (text->mAlign == IText::kAlignCenter) flags |= LICE_DT_CENTER;
    if (text->mAlign == IText::kAlignFar) flags |= LICE_DT_RIGHT;
    if (text->mColor.A < 255) flags |= LICE_DT_USEFGALPHA;
    const IRECT s = ToScreen(*r);
    LICE_Rect rc;
    rc.left = s.L, rc.top = s.T, rc.right = s.R, rc.bottom = s.B;
    if (!measure) {
        font->DrawText(GetDrawBitmap(), str, -1, &rc, flags, color);
        return true;
    }
    font->DrawText(nullptr, str, -1, &rc, flags | LICE_DT_CALCRECT, color);
    // The measure in editor units, rounded up so the box still holds the text.
    const int width = static_cast<int>(std::ceil((rc.right - rc.left) / mScale));
    const int height = static_cast<int>(std::ceil((rc.bottom - rc.top) / mScale));
    FitToMeasuredText(text, r, width, height);
    return true;
}
