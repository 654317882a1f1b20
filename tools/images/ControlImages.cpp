#include "tools/images/ControlImages.h"

#include <cstdio>
#include <iterator>

#include "tools/images/ImageLayout.h"
#include "tools/images/Painter.h"

namespace quenlix::images {

namespace {

constexpr LICE_pixel FACE_TOP = rgb(50, 57, 67);
constexpr LICE_pixel FACE_BOTTOM = rgb(36, 41, 49);
constexpr LICE_pixel FACE_RIM = rgb(66, 75, 88);
constexpr LICE_pixel FACE_TEXT = rgb(232, 236, 241);
constexpr LICE_pixel ARROW = rgb(128, 190, 220);
constexpr LICE_pixel FIELD_TOP = rgb(10, 12, 15);
constexpr LICE_pixel FIELD_BOTTOM = rgb(17, 20, 25);
constexpr LICE_pixel UNIT_TEXT = rgb(120, 130, 144);

// Text room: left of the menu arrow, or the whole face for a selector with an entry too long to
// sit beside the arrow (all frames of one selector share one layout and one face).
constexpr int TEXT_LEFT = 4;
constexpr int ARROW_WIDTH = 6;
constexpr int ARROW_RIGHT_MARGIN = 4;
constexpr int TEXT_RIGHT_WITH_ARROW = SELECTOR_WIDTH - ARROW_RIGHT_MARGIN - ARROW_WIDTH - 2;
constexpr int TEXT_RIGHT_PLAIN = SELECTOR_WIDTH - TEXT_LEFT;

// Faces tried in order until every entry fits; the last one is squeezed where it still does not.
const TextStyle ENTRY_STYLES[] = {
    {"DejaVu Sans", 11, 400, FACE_TEXT},
    {"DejaVu Sans Condensed", 11, 400, FACE_TEXT},
    {"DejaVu Sans Condensed", 10, 400, FACE_TEXT},
};

struct FaceLayout {
    const TextStyle* style;
    bool arrow;
};

bool allFit(Painter& p, const std::vector<std::string>& entries, const TextStyle& style, int room) {
    for (const std::string& e : entries)
        if (p.textWidth(e.c_str(), style) > room) return false;
    return true;
}

FaceLayout chooseLayout(Painter& p, const std::vector<std::string>& entries) {
    for (const TextStyle& style : ENTRY_STYLES)
        if (allFit(p, entries, style, TEXT_RIGHT_WITH_ARROW - TEXT_LEFT)) return {&style, true};
    // Legibility wins over the arrow: such a selector keeps the whole face for its text.
    for (const TextStyle& style : ENTRY_STYLES)
        if (allFit(p, entries, style, TEXT_RIGHT_PLAIN - TEXT_LEFT)) return {&style, false};
    return {&ENTRY_STYLES[std::size(ENTRY_STYLES) - 1], false};
}

void drawFace(Painter& p, int y) {
    p.roundedRect(0, y, SELECTOR_WIDTH, SELECTOR_HEIGHT, 3.0, FACE_TOP, FACE_BOTTOM);
    p.roundedOutline(0, y, SELECTOR_WIDTH, SELECTOR_HEIGHT, 3.0, 1.0, FACE_RIM);
    p.hLine(3, y + 1, SELECTOR_WIDTH - 6, rgb(255, 255, 255), 0.08f);
}

}  // namespace

std::unique_ptr<LICE_IBitmap> drawSelector(const std::vector<std::string>& entries, FontBook* fonts,
                                           double scale) {
    const int count = static_cast<int>(entries.size());
    const int frameHeight = scaledSize(SELECTOR_HEIGHT, scale);
    auto strip = std::make_unique<LICE_MemBitmap>(scaledSize(SELECTOR_WIDTH, scale), frameHeight * count);
    // The layout is chosen by 1x measures, so every scale shows the same faces and arrows.
    Painter measure(strip.get(), fonts);
    const FaceLayout layout = chooseLayout(measure, entries);
    const int textRight = layout.arrow ? TEXT_RIGHT_WITH_ARROW : TEXT_RIGHT_PLAIN;
    for (int i = 0; i < count; ++i) {
        // Each frame from a whole pixel of its own.
        Painter p(strip.get(), fonts, scale, 0, i * frameHeight);
        const int y = 0;
        drawFace(p, y);
        p.fittedText(entries[i].c_str(), TEXT_LEFT, y, textRight - TEXT_LEFT, SELECTOR_HEIGHT, *layout.style,
                     LICE_DT_CENTER | LICE_DT_VCENTER);
        if (layout.arrow)
            p.downTriangle(SELECTOR_WIDTH - ARROW_RIGHT_MARGIN - ARROW_WIDTH / 2.0, y + 6.5, ARROW_WIDTH, 3.5,
                           ARROW);
    }
    return strip;
}

std::unique_ptr<LICE_IBitmap> drawValueField(const char* unit, FontBook* fonts, double scale) {
    auto field = std::make_unique<LICE_MemBitmap>(scaledSize(SELECTOR_WIDTH, scale),
                                                  scaledSize(SELECTOR_HEIGHT, scale));
    Painter p(field.get(), fonts, scale);
    p.roundedRect(0, 0, SELECTOR_WIDTH, SELECTOR_HEIGHT, 3.0, FIELD_TOP, FIELD_BOTTOM);
    p.roundedOutline(0, 0, SELECTOR_WIDTH, SELECTOR_HEIGHT, 3.0, 1.0, FACE_RIM);
    p.hLine(3, SELECTOR_HEIGHT - 2, SELECTOR_WIDTH - 6, rgb(255, 255, 255), 0.05f);
    if (unit && *unit) {
        const TextStyle unitStyle{"DejaVu Sans Condensed", 9, 400, UNIT_TEXT};
        p.text(unit, 0, 3, SELECTOR_WIDTH - 5, 10, unitStyle, LICE_DT_RIGHT | LICE_DT_TOP);
    }
    return field;
}

}  // namespace quenlix::images
