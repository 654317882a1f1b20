#pragma once
// Compositing one raster onto another, and filling rectangles.
//
// Every operation composites a source pixel s onto a destination pixel d with a mode and a
// weight. Weight w is the opacity of the whole operation, clamped to 0..1 (NaN counts as 0, so a
// broken weight draws nothing). Channel values are 0..255; "mix(x, y, t)" is x + (y - x) * t; every
// result is rounded to the nearest integer (halves up) and clamped to 0..255. With
// a = sA / 255 * w:
//
//   LICE_BLIT_MODE_COPY     colour = mix(d, s, a)                        (source-over with alpha)
//   LICE_BLIT_MODE_CLOBBER  all four channels = mix(d, s, w)             (source alpha ignored;
//                                                                          w == 1 is a plain copy)
//   LICE_BLIT_MODE_ADD      colour = min(255, d + s * a)
//   LICE_BLIT_MODE_DODGE    colour = mix(d, dodge(d, s), a), where
//                           dodge(d, s) = 255 when s == 255, else min(255, d * 255 / (255 - s))
//
// For COPY, ADD and DODGE the destination alpha becomes dA + (255 - dA) * a (coverage
// accumulates, an opaque destination stays opaque).
//
// Nothing is drawn outside either raster: blocks are clipped to the destination, and a blit's
// block is clipped to the source as well, with both corners moving together so that every drawn
// destination pixel shows the source pixel that lay there unclipped. Zero or negative sizes, null
// rasters and unknown modes draw nothing.
//
// Thread: the caller must be the only writer of the destination raster (see raster/Bitmap.h).

#include "raster/Bitmap.h"

enum {
    LICE_BLIT_MODE_COPY = 0,
    LICE_BLIT_MODE_CLOBBER = 1,
    LICE_BLIT_MODE_ADD = 2,
    LICE_BLIT_MODE_DODGE = 3,
};

// Composites the w x h block of src whose top-left is (srcx, srcy) onto dest at (dstx, dsty).
// src may be dest itself; overlapping blocks then behave as if the source were copied first.
void LICE_Blit(LICE_IBitmap* dest, const LICE_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int w,
               int h, float weight, int mode);

// Composites the colour onto the w x h block of dest whose top-left is (x, y). In COPY, ADD and
// DODGE the colour's own alpha takes part (a = colourA / 255 * weight).
void LICE_FillRect(LICE_IBitmap* dest, int x, int y, int w, int h, LICE_pixel color, float weight, int mode);

// Sets every pixel of dest to the colour (no compositing).
void LICE_Clear(LICE_IBitmap* dest, LICE_pixel color);

// The pixel at (x, y), or 0 when the point lies outside the raster or the raster is null.
LICE_pixel LICE_GetPixel(const LICE_IBitmap* bm, int x, int y);

// Composites one pixel; nothing happens outside the raster.
void LICE_PutPixel(LICE_IBitmap* bm, int x, int y, LICE_pixel color, float weight, int mode);
