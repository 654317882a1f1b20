#pragma once
// The editor background: one 616 x 320 frame per metering type, stacked (RMS, then EBU R128).

#include <memory>

#include "raster/Bitmap.h"

namespace quenlix::images {

class FontBook;

std::unique_ptr<LICE_IBitmap> drawBackground(FontBook* fonts, double scale = 1.0);

}  // namespace quenlix::images
