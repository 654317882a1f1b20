// An editor image whose pixels are decoded when first drawn. Building an editor needs only the sizes of
// its images (they fix the controls' rectangles), which the PNG header gives; a plug-in that never
// draws (a host without a UI, the command line measuring a file) never pays for decoding. The pixels,
// once decoded, are exactly those of a PNG decoded at once.
//
// Threads: any; the first getBits decodes under a once-flag, so concurrent first draws decode once.
// The bitmap cache shares one instance between every editor of the process, read-only after decoding.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "raster/Bitmap.h"

class DeferredImage : public LICE_IBitmap {
  public:
    // The PNG at path when its header can be read and gives a usable size; null otherwise.
    static DeferredImage* Open(const std::string& path);

    // Decoded on first use. A file that changed or is damaged past its header gives a transparent
    // raster of the header's size, so that a control's image never changes its size when drawn.
    LICE_pixel* getBits() override;
    const LICE_pixel* getBits() const override;
    int getWidth() const override { return mWidth; }
    int getHeight() const override { return mHeight; }
    int getRowSpan() const override;
    // Decodes first; the size then changes as for any raster.
    bool resize(int w, int h) override;

    // True once the pixels have been decoded (for tests).
    bool IsDecoded() const { return mDecoded.load(std::memory_order_acquire); }

  private:
    DeferredImage(std::string path, int w, int h) : mPath(std::move(path)), mWidth(w), mHeight(h) {}
    LICE_IBitmap& Pixels() const;

    std::string mPath;
    int mWidth, mHeight;
    mutable std::once_flag mOnce;
    mutable std::unique_ptr<LICE_IBitmap> mPixels;
    mutable std::atomic<bool> mDecoded{false};
};

// Reads the width and height from a PNG file's header (signature and IHDR chunk). False when the file
// cannot be read or is no PNG.
bool ReadPNGSize(const char* path, int* width, int* height);
