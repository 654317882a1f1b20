#include "tools/images/MeterImages.h"

#include "tools/images/ImageLayout.h"
#include "tools/images/Painter.h"

namespace quenlix::images {

namespace {

constexpr LICE_pixel WELL = rgb(9, 11, 14);
constexpr LICE_pixel WELL_BORDER = rgb(40, 45, 54);
constexpr LICE_pixel GREEN = rgb(52, 211, 104);
constexpr LICE_pixel YELLOW = rgb(242, 201, 48);
constexpr LICE_pixel RED = rgb(246, 64, 52);

// Level (dB) at the top edge of segment k.
int segmentTopDb(int k) {
    return METER_BOTTOM_DB + k;
}

// Colour of segment k (1 = bottom) when lit, and when dark.
LICE_pixel segmentColour(int k, bool lit) {
    const int topDb = segmentTopDb(k);
    LICE_pixel colour = GREEN;
    if (topDb > RED_FROM_DB)
        colour = RED;
    else if (topDb > YELLOW_FROM_DB)
        colour = YELLOW;
    if (lit) return colour;
    // A dark LED still shows its lens tint against the well.
    return mixColour(WELL, colour, 0.17);
}

void drawMeterFrame(Painter& p, int originX, int litSegments) {
    p.fill(originX, 0, METER_FRAME_WIDTH, METER_FRAME_HEIGHT, WELL);
    p.hLine(originX, 0, METER_FRAME_WIDTH, WELL_BORDER);
    p.hLine(originX, METER_FRAME_HEIGHT - 1, METER_FRAME_WIDTH, WELL_BORDER);
    p.vLine(originX, 0, METER_FRAME_HEIGHT, WELL_BORDER);
    p.vLine(originX + METER_FRAME_WIDTH - 1, 0, METER_FRAME_HEIGHT, WELL_BORDER);

    const int width = SEGMENT_RIGHT - SEGMENT_LEFT;
    for (int k = 1; k <= METER_SEGMENTS; ++k) {
        const bool lit = k <= litSegments;
        const LICE_pixel base = segmentColour(k, lit);
        const int top = segmentTopRow(k);
        // The upper row catches the light, the lower row is the body; the outer columns fall off
        // a little so each segment reads as a lens rather than a flat bar.
        const LICE_pixel rows[SEGMENT_LIT_ROWS] = {shade(base, lit ? 1.18 : 1.08), base};
        for (int r = 0; r < SEGMENT_LIT_ROWS; ++r) {
            p.fill(originX + SEGMENT_LEFT, top + r, width, 1, rows[r]);
            p.fill(originX + SEGMENT_LEFT, top + r, 1, 1, shade(rows[r], 0.8));
            p.fill(originX + SEGMENT_RIGHT - 1, top + r, 1, 1, shade(rows[r], 0.8));
        }
    }
}

}  // namespace

std::unique_ptr<LICE_IBitmap> drawLedMeterStrip(double scale) {
    const int frameWidth = scaledSize(METER_FRAME_WIDTH, scale);
    auto strip =
        std::make_unique<LICE_MemBitmap>(frameWidth * METER_FRAMES, scaledSize(METER_FRAME_HEIGHT, scale));
    for (int frame = 1; frame <= METER_FRAMES; ++frame) {
        // Each frame from a whole pixel of its own.
        Painter p(strip.get(), nullptr, scale, (frame - 1) * frameWidth, 0);
        drawMeterFrame(p, 0, litSegmentsInFrame(frame));
    }
    return strip;
}

std::unique_ptr<LICE_IBitmap> drawClipLamp(double scale) {
    const int frameHeight = scaledSize(CLIP_HEIGHT, scale);
    auto lamp = std::make_unique<LICE_MemBitmap>(scaledSize(CLIP_WIDTH, scale), frameHeight * CLIP_FRAMES);
    Painter p(lamp.get(), nullptr, scale);
    const int inner = CLIP_WIDTH - 2;

    // Off: a dark red lens in the meter's border colour.
    p.fill(0, 0, CLIP_WIDTH, CLIP_HEIGHT, WELL_BORDER);
    p.fill(1, 1, inner, CLIP_HEIGHT - 2, rgb(62, 22, 24));
    p.hLine(1, 1, inner, rgb(78, 30, 32));

    // Lit: bright red with a hot top row and a glowing rim, from a whole pixel of its own.
    Painter lit(lamp.get(), nullptr, scale, 0, frameHeight);
    const int y = 0;
    lit.fill(0, y, CLIP_WIDTH, CLIP_HEIGHT, rgb(150, 36, 30));
    lit.verticalGradient(1, y + 1, inner, CLIP_HEIGHT - 2, rgb(255, 128, 112), rgb(226, 40, 30));
    lit.fill(1, y + 1, 1, CLIP_HEIGHT - 2, rgb(210, 44, 36));
    lit.fill(CLIP_WIDTH - 2, y + 1, 1, CLIP_HEIGHT - 2, rgb(210, 44, 36));
    return lamp;
}

}  // namespace quenlix::images
