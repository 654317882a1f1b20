#pragma once
// Reading and writing PNG images (libpng).
//
// Decoding turns every PNG colour type into 8-bit ARGB pixels (raster/Pixel.h): palette images
// are expanded to their colours, grey to equal red, green and blue, a transparency key (tRNS)
// becomes an alpha channel (0 where the key matches, 255 elsewhere), 16-bit channels are cut to
// their high 8 bits, and images without alpha get alpha 255. Interlaced images are supported.
// No gamma or colour-profile correction is applied: the stored values are used as they stand.
// Images wider or taller than LICE_MAX_DIMENSION or larger than 64 megapixels, and damaged or
// truncated data, are refused.
//
// Thread: any thread; calls on different rasters may run concurrently.

#include <cstddef>
#include <string>

#include "raster/Bitmap.h"

// Decodes the PNG file at `filename` (read with the C library's file I/O).
// With bmp null the result is a new LICE_MemBitmap owned by the caller; with bmp given the image
// is decoded into it (resized to the image) and bmp is returned. Null on failure, with a
// one-line reason in *error when error is given; a passed bmp then has undefined contents.
LICE_IBitmap* LICE_LoadPNG(const char* filename, LICE_IBitmap* bmp = nullptr, std::string* error = nullptr);

// As LICE_LoadPNG, from `size` bytes in memory.
LICE_IBitmap* LICE_LoadPNGFromMemory(const void* data, size_t size, LICE_IBitmap* bmp = nullptr,
                                     std::string* error = nullptr);

// Writes bm as an 8-bit PNG: RGBA when wantAlpha, otherwise RGB (alpha dropped). The file is
// replaced. Returns false (with a reason in *error when given) when the raster is empty or null
// or the file cannot be written; a partly written file is removed.
bool LICE_WritePNG(const char* filename, const LICE_IBitmap* bm, bool wantAlpha = true,
                   std::string* error = nullptr);
