#pragma once
// Rasters: a rectangle of LICE_pixel (layout in raster/Pixel.h) addressed row by row.
//
// Row r starts at getBits() + r * getRowSpan(); getRowSpan() is in pixels and may exceed
// getWidth() (LICE_SysBitmap pads its rows), so code walking a raster must always step by the
// row span, never by the width.
//
// Thread: a raster is not synchronised. One thread at a time may write it (in the editor: the UI
// thread, which owns the off-screen raster); concurrent readers are fine while nobody writes.

#include <cstddef>

#include "raster/Pixel.h"

class LICE_IBitmap {
  public:
    virtual ~LICE_IBitmap() = default;

    // First pixel of the top row; null when the raster is empty (0 by 0).
    virtual LICE_pixel* getBits() = 0;
    virtual const LICE_pixel* getBits() const = 0;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
    // Distance between the starts of two rows, in pixels (>= getWidth()).
    virtual int getRowSpan() const = 0;

    // Changes the size; the contents become undefined (callers clear or redraw). Negative sizes
    // count as 0. Returns false when the size is too large (above LICE_MAX_DIMENSION) or memory
    // is short; the raster is then empty.
    virtual bool resize(int w, int h) = 0;
};

// Largest width or height a raster may have; guards size arithmetic against overflow.
constexpr int LICE_MAX_DIMENSION = 32768;

// A raster in ordinary heap memory with unpadded rows (row span == width). Used for decoded
// images and scratch rasters. Freshly created or resized pixels are 0 (transparent black).
class LICE_MemBitmap : public LICE_IBitmap {
  public:
    explicit LICE_MemBitmap(int w = 0, int h = 0);
    ~LICE_MemBitmap() override;
    LICE_MemBitmap(const LICE_MemBitmap&) = delete;
    LICE_MemBitmap& operator=(const LICE_MemBitmap&) = delete;

    LICE_pixel* getBits() override { return mBits; }
    const LICE_pixel* getBits() const override { return mBits; }
    int getWidth() const override { return mWidth; }
    int getHeight() const override { return mHeight; }
    int getRowSpan() const override { return mWidth; }
    bool resize(int w, int h) override;

  private:
    LICE_pixel* mBits = nullptr;
    int mWidth = 0;
    int mHeight = 0;
};

// A raster laid out for handing to a window system or frame buffer without copying: the first
// pixel is 32-byte aligned and each row is padded to a multiple of 4 pixels (16 bytes). The
// editor's off-screen raster is one. Freshly created or resized pixels are 0.
class LICE_SysBitmap : public LICE_IBitmap {
  public:
    explicit LICE_SysBitmap(int w = 0, int h = 0);
    ~LICE_SysBitmap() override;
    LICE_SysBitmap(const LICE_SysBitmap&) = delete;
    LICE_SysBitmap& operator=(const LICE_SysBitmap&) = delete;

    LICE_pixel* getBits() override { return mBits; }
    const LICE_pixel* getBits() const override { return mBits; }
    int getWidth() const override { return mWidth; }
    int getHeight() const override { return mHeight; }
    int getRowSpan() const override { return mRowSpan; }
    bool resize(int w, int h) override;

  private:
    LICE_pixel* mBits = nullptr;
    int mWidth = 0;
    int mHeight = 0;
    int mRowSpan = 0;
};
