// IGraphics: dirty collection, the two drawing strategies, blits, fills, text, and the image and font
// caches. UI thread.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "editor/DirtyAreas.h"
#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/ResourceCaches.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/Font.h"

namespace {

int BlitMode(const IChannelBlend* blend) {
    if (!blend) return LICE_BLIT_MODE_COPY;
    switch (blend->mMethod) {
        case IChannelBlend::kBlendClobber:
            return LICE_BLIT_MODE_CLOBBER;
        case IChannelBlend::kBlendAdd:
            return LICE_BLIT_MODE_ADD;
        case IChannelBlend::kBlendColorDodge:
            return LICE_BLIT_MODE_DODGE;
        default:
            return LICE_BLIT_MODE_COPY;
    }
}

float BlitWeight(const IChannelBlend* blend) {
    return blend ? blend->mWeight : 1.0f;
}

unsigned int TextFlags(const IText* text) {
    unsigned int flags = LICE_DT_NOCLIP | LICE_DT_TOP;
    if (text->mAlign == IText::kAlignCenter) {
        flags |= LICE_DT_CENTER;
    } else if (text->mAlign == IText::kAlignFar) {
        flags |= LICE_DT_RIGHT;
    }
    if (text->mColor.A < 255) flags |= LICE_DT_USEFGALPHA;
    return flags;
}

}  // namespace

bool IGraphics::CollectDirtyAreas(DirtyAreas* areas) {
    areas->Clear();
    bool dirty = false;
    for (int i = 0; i < mControls.GetSize(); ++i) {
        IControl* c = mControls.Get(i);
        c->CollectChanges();
        IRECT area;
        if (c->TakeDirtyArea(&area)) {
            areas->Add(area);
            dirty = true;
        }
    }
    return dirty;
}

bool IGraphics::IsDirty(IRECT* r) {
    DirtyAreas areas;
    const bool dirty = CollectDirtyAreas(&areas);
    const IRECT bounds = areas.Bounds();
    *r = r->Union(&bounds);
    return dirty;
}

bool IGraphics::Draw(IRECT* r) {
    const int n = mControls.GetSize();
    if (n == 0) return true;
    if (mStrict) {
        if (r->Empty()) {
            // Nothing to paint; the controls are cleaned all the same.
            mDrawRECT = *r;
            CleanAll();
            IRECT screen = ToScreenArea(*r);
            return DrawScreen(&screen);
        }
        DirtyAreas areas;
        areas.Add(*r);
        return DrawAreas(areas);
    }
    IControl* bg = mControls.Get(0);
    if (bg->IsDirty()) {
        mDrawRECT = *bg->GetRECT();
        for (int i = 0; i < n; ++i) {
            IControl* c = mControls.Get(i);
            if (i > 0 && c->IsHidden()) continue;
            c->CollectChanges();
            c->Draw(this);
            c->SetClean();
        }
    } else {
        for (int i = 1; i < n; ++i) {
            IControl* ci = mControls.Get(i);
            if (!ci->IsDirty()) continue;
            mDrawRECT = *ci->GetRECT();
            ci->CollectChanges();
            for (int j = 0; j < n; ++j) {
                IControl* cj = mControls.Get(j);
                if (cj->IsHidden()) continue;
                if (j == i || cj->GetRECT()->Intersects(&mDrawRECT)) cj->Draw(this);
            }
            ci->SetClean();
        }
    }
    IRECT screen = ToScreenArea(*r);
    return DrawScreen(&screen);
}

bool IGraphics::DrawAreas(const DirtyAreas& areas) {
    const int n = mControls.GetSize();
    if (n == 0) return true;
    bool shown = true;
    for (int a = 0; a < areas.Count(); ++a) {
        // Each area is painted whole before it is put on screen: a text may reach past the area it is
        // drawn for, and the raster outside the area is not what the screen shows.
        IRECT area = areas[a];
        mDrawRECT = area;
        for (int i = 0; i < n; ++i) {
            IControl* c = mControls.Get(i);
            if (c->IsHidden()) continue;
            const IRECT paints = c->GetDrawArea();
            if (area.Intersects(&paints)) c->Draw(this);
        }
        IRECT screen = ToScreenArea(area);
        shown = DrawScreen(&screen) && shown;
    }
    CleanAll();
    return shown;
}

void IGraphics::CleanAll() {
    // Drawn or not: a dirty control was in an area, and what other threads stored since the cycle
    // began waits, uncollected, for the next one.
    for (int i = 0; i < mControls.GetSize(); ++i) mControls.Get(i)->SetClean();
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, const IChannelBlend* blend) {
    if (mScale != 1.0) return DrawScaledBitmap(bitmap, dest, frame, 0, 0, blend);
    double srcX = 0.0, srcY = 0.0;
    if (bitmap->N >= 2 && frame >= 2) {
        if (bitmap->mFramesAreHorizontal) {
            srcX = std::trunc(static_cast<double>(frame - 1) * bitmap->W / bitmap->N + 0.5);
        } else {
            srcY = std::trunc(static_cast<double>(frame - 1) * bitmap->H / bitmap->N + 0.5);
        }
    }
    // A frame number far past the strip lies outside every image: nothing to draw.
    if (srcX > INT_MAX || srcY > INT_MAX) return true;
    return DrawBitmap(bitmap, dest, static_cast<int>(srcX), static_cast<int>(srcY), blend);
}

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend) {
    if (mScale != 1.0) return DrawScaledBitmap(bitmap, dest, 0, srcX, srcY, blend);
    const IRECT r = dest->Intersect(&mDrawRECT);
    const int sx = srcX + r.L - dest->L;
    const int sy = srcY + r.T - dest->T;
    LICE_Blit(GetDrawBitmap(), bitmap->mData, r.L, r.T, sx, sy, r.W(), r.H(), BlitWeight(blend),
              BlitMode(blend));
    return true;
}

bool IGraphics::FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend) {
    const IRECT s = ToScreen(*r);
    LICE_FillRect(GetDrawBitmap(), s.L, s.T, s.W(), s.H(), IColorToPixel(*color), BlitWeight(blend),
                  BlitMode(blend));
    return true;
}

bool IGraphics::DrawIText(IText* text, char* str, IRECT* r, bool measure) {
    if (!str || !str[0]) return true;
    if (mScale != 1.0) return DrawScaledIText(text, str, r, measure);
    LICE_IFont* font = text->mCached ? text->mCached : CacheFont(text);
    if (!font) return false;
    // The font is shared by every editor of the process, so the colour goes with each call.
    const LICE_pixel color = IColorToPixel(text->mColor);
    const unsigned int flags = TextFlags(text);
    LICE_Rect rc;
    rc.left = r->L;
    rc.top = r->T;
    rc.right = r->R;
    rc.bottom = r->B;

    if (!measure) {
        font->DrawText(GetDrawBitmap(), str, -1, &rc, flags, color);
        return true;
    }

    font->DrawText(nullptr, str, -1, &rc, flags | LICE_DT_CALCRECT, color);
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    FitToMeasuredText(text, r, width, height);
    return true;
}

void IGraphics::FitToMeasuredText(const IText* text, IRECT* r, int width, int height) {
    if (text->mAlign == IText::kAlignCenter) {
        r->L = static_cast<int>(static_cast<float>(r->L + r->R) * 0.5f) - width / 2;
        r->R = r->L + width;
    } else if (text->mAlign == IText::kAlignFar) {
        r->L = r->R - width;
    } else {
        r->R = r->L + width;
    }
    r->B = r->T + height;
}

LICE_IFont* IGraphics::CacheFont(IText* text) {
    FontStorage& storage = FontStorage::Instance();
    if (LICE_IFont* cached = storage.Find(text)) {
        text->mCached = cached;
        return cached;
    }

    LICE_FontDesc desc;
    int h = std::max(2, text->mSize);
    desc.height = h;
    desc.escapementTenths = text->mOrientation * 10;
    desc.orientationTenths = text->mOrientation * 10;
    desc.weight = text->mStyle == IText::kStyleBold ? 700 : 400;
    desc.italic = text->mStyle == IText::kStyleItalic;
    switch (text->mQuality) {
        case IText::kQualityNonAntiAliased:
            desc.quality = LICE_FONT_QUALITY_NONANTIALIASED;
            break;
        case IText::kQualityAntiAliased:
        case IText::kQualityClearType:
            desc.quality = LICE_FONT_QUALITY_ANTIALIASED;
            break;
        default:
            desc.quality = LICE_FONT_QUALITY_DEFAULT;
            break;
    }
    std::strncpy(desc.face, text->mFont, sizeof(desc.face) - 1);
    desc.face[sizeof(desc.face) - 1] = '\0';

    auto* font = new LICE_CachedFont();
    if (!font->SetFromDesc(desc)) {
        delete font;
        return nullptr;
    }
    // Ask once more with a corrected height so that the line height matches the style's size.
    const int lineHeight = font->GetLineHeight();
    if (lineHeight > 0 && lineHeight != h) {
        h = std::max(2, static_cast<int>(static_cast<double>(h) * h / lineHeight + 0.5));
        desc.height = h;
        if (!font->SetFromDesc(desc)) {
            delete font;
            return nullptr;
        }
    }
    LICE_IFont* stored = storage.Add(text, font);
    text->mCached = stored;
    return stored;
}

IBitmap IGraphics::LoadIBitmap(int ID, const char* name, int nStates, bool framesAreHorizontal) {
    BitmapStorage& storage = BitmapStorage::Instance();
    LICE_IBitmap* bm = storage.Find(ID);
    if (!bm) {
        // Decoding is slow: it runs outside the cache's mutex.
        LICE_IBitmap* loaded = OSLoadBitmap(ID, name);
        bm = storage.Add(ID, loaded);
    }
    if (!bm) return IBitmap(nullptr, 0, 0, nStates, framesAreHorizontal);
    RememberImage(bm, ID, name);
    return IBitmap(bm, bm->getWidth(), bm->getHeight(), nStates, framesAreHorizontal);
}
