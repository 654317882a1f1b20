#include "raster/Bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
int ClampDimension(int v) {
    return v < 0 ? 0 : v;
}

bool DimensionsAllowed(int w, int h) {
    return w <= LICE_MAX_DIMENSION && h <= LICE_MAX_DIMENSION;
}
}  // namespace

LICE_MemBitmap::LICE_MemBitmap(int w, int h) {
    resize(w, h);
}

LICE_MemBitmap::~LICE_MemBitmap() {
    std::free(mBits);
}

bool LICE_MemBitmap::resize(int w, int h) {
    w = ClampDimension(w);
    h = ClampDimension(h);
    if (w == mWidth && h == mHeight && (mBits || w * h == 0)) return true;
    std::free(mBits);
    mBits = nullptr;
    mWidth = mHeight = 0;
    if (!DimensionsAllowed(w, h)) return false;
    if (w == 0 || h == 0) return true;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    mBits = static_cast<LICE_pixel*>(std::calloc(count, sizeof(LICE_pixel)));
    if (!mBits) return false;
    mWidth = w;
    mHeight = h;
    return true;
}

namespace {
constexpr size_t kSysAlignBytes = 32;
constexpr int kSysRowMultiple = 4;
}  // namespace

LICE_SysBitmap::LICE_SysBitmap(int w, int h) {
    resize(w, h);
}

LICE_SysBitmap::~LICE_SysBitmap() {
    std::free(mBits);
}

bool LICE_SysBitmap::resize(int w, int h) {
    w = ClampDimension(w);
    h = ClampDimension(h);
    if (w == mWidth && h == mHeight && (mBits || w * h == 0)) return true;
    std::free(mBits);
    mBits = nullptr;
    mWidth = mHeight = mRowSpan = 0;
    if (!DimensionsAllowed(w, h)) return false;
    if (w == 0 || h == 0) return true;
    const int span = (w + kSysRowMultiple - 1) / kSysRowMultiple * kSysRowMultiple;
    size_t bytes = static_cast<size_t>(span) * static_cast<size_t>(h) * sizeof(LICE_pixel);
    bytes = (bytes + kSysAlignBytes - 1) / kSysAlignBytes * kSysAlignBytes;  // aligned_alloc needs a multiple
    void* p = std::aligned_alloc(kSysAlignBytes, bytes);
    if (!p) return false;
    std::memset(p, 0, bytes);
    mBits = static_cast<LICE_pixel*>(p);
    mWidth = w;
    mHeight = h;
    mRowSpan = span;
    return true;
}
