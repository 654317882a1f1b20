#pragma once
// The editor's nine images, drawn in memory under the file names the editor loads them by.

#include <memory>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

namespace quenlix::images {

class FontBook;

struct ImageFile {
    std::string name;  // file name under resources/img/, e.g. "value.png"
    std::unique_ptr<LICE_IBitmap> image;
    bool withAlpha;  // written as RGBA (faces with rounded, see-through corners)
};

// Draws every image. Fonts come from `fonts` (a missing DejaVu face ends the process, see
// FontBook).
std::vector<ImageFile> drawImageSet(FontBook* fonts);

}  // namespace quenlix::images
