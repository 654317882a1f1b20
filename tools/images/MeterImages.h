#pragma once
// The LED meter strip and the clip lamp.

#include <memory>

#include "raster/Bitmap.h"

namespace quenlix::images {

// 73 frames side by side, METER_FRAME_WIDTH x METER_FRAME_HEIGHT each (tools/images/ImageLayout.h);
// frame i lights the i - 1 lowest one-dB segments. Opaque.
std::unique_ptr<LICE_IBitmap> drawLedMeterStrip(double scale = 1.0);

// Two frames stacked, CLIP_WIDTH x CLIP_HEIGHT each: off, then lit. Opaque.
std::unique_ptr<LICE_IBitmap> drawClipLamp(double scale = 1.0);

}  // namespace quenlix::images
