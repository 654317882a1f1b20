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

// The scales the editor has images for, and the file name of `name` (e.g. "value.png") drawn at
// `scale`: the name itself at 1, "value@1.5x.png" and "value@2x.png" at the others.
inline constexpr double kImageScales[] = {1.0, 1.5, 2.0};
std::string scaledImageName(const std::string& name, double scale);

// Draws every image at `scale` (1x coordinates scaled, see Painter), under the names of that
// scale. Fonts come from `fonts` (a missing DejaVu face ends the process, see FontBook).
std::vector<ImageFile> drawImageSet(FontBook* fonts, double scale = 1.0);

}  // namespace quenlix::images
