#pragma once
// Selector faces (one frame per entry, showing the entry's text) and the value field.

#include <memory>
#include <string>
#include <vector>

#include "raster/Bitmap.h"

namespace quenlix::images {

class FontBook;

// One SELECTOR_WIDTH x SELECTOR_HEIGHT frame per entry, stacked in entry order. Entries too
// long for the face are set in a narrower or smaller face until they fit.
std::unique_ptr<LICE_IBitmap> drawSelector(const std::vector<std::string>& entries, FontBook* fonts,
                                           double scale = 1.0);

// One frame: the recessed field the editor writes a number into (centred, 12 px, starting one
// pixel below the top), with the unit `unit` set small at its right end (empty for none).
std::unique_ptr<LICE_IBitmap> drawValueField(const char* unit, FontBook* fonts, double scale = 1.0);

}  // namespace quenlix::images
