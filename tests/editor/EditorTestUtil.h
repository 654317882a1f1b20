// Helpers shared by the editor tests: a control that records its draws, and image strips whose
// frames can be told apart by colour.
#pragma once

#include <memory>

#include "editor/IControls.h"
#include "editor/IGraphicsHeadless.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"

// Records how often it was drawn and the value it showed (UI thread).
class ProbeControl : public IControl {
  public:
    ProbeControl(IPlugBase* plug, IRECT rect, int paramIdx = -1) : IControl(plug, rect, paramIdx) {}
    bool Draw(IGraphics*) override {
        ++mDraws;
        mDrawnValue = GetValue();
        return true;
    }
    int mDraws = 0;
    double mDrawnValue = -1.0;
};

// A strip of n frames, each frameW x frameH, frame k (0-based) filled with PixelForFrame(k).
inline LICE_pixel PixelForFrame(int k) {
    return LICE_RGBA(k * 3 % 256, k, 255 - k, 255);
}

inline std::unique_ptr<LICE_MemBitmap> MakeStrip(int n, int frameW, int frameH, bool horizontal) {
    auto bm =
        std::make_unique<LICE_MemBitmap>(horizontal ? n * frameW : frameW, horizontal ? frameH : n * frameH);
    for (int k = 0; k < n; ++k) {
        if (horizontal) {
            LICE_FillRect(bm.get(), k * frameW, 0, frameW, frameH, PixelForFrame(k), 1.0f,
                          LICE_BLIT_MODE_CLOBBER);
        } else {
            LICE_FillRect(bm.get(), 0, k * frameH, frameW, frameH, PixelForFrame(k), 1.0f,
                          LICE_BLIT_MODE_CLOBBER);
        }
    }
    return bm;
}

inline IBitmap HandleFor(LICE_IBitmap* bm, int n, bool horizontal) {
    return IBitmap(bm, bm->getWidth(), bm->getHeight(), n, horizontal);
}
