#pragma once
// The whole drawing library: rasters, compositing, text and PNG files.

#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/Font.h"
#include "raster/PNG.h"
#include "raster/Pixel.h"
