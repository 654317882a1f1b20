// quenlix_make_images: draws the editor's nine PNG images.
//
// Usage: quenlix_make_images <output folder>
// Writes background.png, led_clip.png, led_meter_12-60db.png, the five selector strips and
// value.png into the folder (which must exist), replacing files of those names, and each of them
// drawn at 1.5 and 2 times the size under the names NAME@1.5x.png and NAME@2x.png. Exit status 0
// when every image was written, 1 otherwise (the reason is printed on stderr).

#include <cstdio>
#include <string>

#include "tools/images/ImageSet.h"
#include "tools/images/Painter.h"

int main(int argc, char** argv) {
    using namespace quenlix::images;
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: quenlix_make_images <output folder>\n");
        return 1;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';

    FontBook fonts;
    bool ok = true;
    for (const double scale : kImageScales)
        for (const ImageFile& file : drawImageSet(&fonts, scale))
            ok = writeImage(folder + file.name, file.image.get(), file.withAlpha) && ok;
    return ok ? 0 : 1;
}
