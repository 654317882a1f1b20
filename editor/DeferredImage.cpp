#include "editor/DeferredImage.h"

#include <cstdio>
#include <cstring>

#include "raster/PNG.h"

namespace {

unsigned long BigEndian32(const unsigned char* p) {
    return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
           (static_cast<unsigned long>(p[2]) << 8) | static_cast<unsigned long>(p[3]);
}

}  // namespace

bool ReadPNGSize(const char* path, int* width, int* height) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) return false;
    // Signature, then the first chunk, which must be IHDR: length, type, width, height.
    unsigned char head[24];
    const bool read = std::fread(head, 1, sizeof head, f) == sizeof head;
    std::fclose(f);
    if (!read || std::memcmp(head, kSignature, sizeof kSignature) != 0 ||
        std::memcmp(head + 12, "IHDR", 4) != 0)
        return false;
    const unsigned long w = BigEndian32(head + 16), h = BigEndian32(head + 20);
    if (w == 0 || h == 0 || w > static_cast<unsigned long>(LICE_MAX_DIMENSION) ||
        h > static_cast<unsigned long>(LICE_MAX_DIMENSION))
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

DeferredImage* DeferredImage::Open(const std::string& path) {
    int w = 0, h = 0;
    if (!ReadPNGSize(path.c_str(), &w, &h)) return nullptr;
    return new DeferredImage(path, w, h);
}

LICE_IBitmap& DeferredImage::Pixels() const {
    std::call_once(mOnce, [this] {
        std::unique_ptr<LICE_IBitmap> decoded(LICE_LoadPNG(mPath.c_str()));
        if (!decoded || decoded->getWidth() != mWidth || decoded->getHeight() != mHeight) {
            decoded = std::make_unique<LICE_MemBitmap>(mWidth, mHeight);
        }
        mPixels = std::move(decoded);
        mDecoded.store(true, std::memory_order_release);
    });
    return *mPixels;
}

LICE_pixel* DeferredImage::getBits() {
    return Pixels().getBits();
}

const LICE_pixel* DeferredImage::getBits() const {
    return static_cast<const LICE_IBitmap&>(Pixels()).getBits();
}

int DeferredImage::getRowSpan() const {
    return Pixels().getRowSpan();
}

bool DeferredImage::resize(int w, int h) {
    LICE_IBitmap& pixels = Pixels();
    const bool ok = pixels.resize(w, h);
    mWidth = pixels.getWidth();
    mHeight = pixels.getHeight();
    return ok;
}
