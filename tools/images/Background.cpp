#include "tools/images/Background.h"

#include <cstdio>

#include "tools/images/ImageLayout.h"
#include "tools/images/Painter.h"

namespace quenlix::images {

namespace {

constexpr LICE_pixel BASE_TOP = rgb(29, 33, 39);
constexpr LICE_pixel BASE_BOTTOM = rgb(17, 19, 23);
constexpr LICE_pixel HEADER_TOP = rgb(37, 42, 50);
constexpr LICE_pixel HEADER_BOTTOM = rgb(28, 32, 38);
constexpr LICE_pixel HAIRLINE = rgb(48, 54, 63);
constexpr LICE_pixel PANEL_TOP = rgb(22, 25, 30);
constexpr LICE_pixel PANEL_BOTTOM = rgb(18, 20, 24);
constexpr LICE_pixel PANEL_RIM = rgb(41, 46, 54);
constexpr LICE_pixel CARD_TOP = rgb(31, 35, 42);
constexpr LICE_pixel CARD_BOTTOM = rgb(26, 30, 36);
constexpr LICE_pixel DISPLAY = rgb(9, 11, 14);
constexpr LICE_pixel DISPLAY_RIM = rgb(46, 52, 61);
constexpr LICE_pixel TITLE = rgb(236, 239, 243);
constexpr LICE_pixel LABEL = rgb(214, 219, 226);
constexpr LICE_pixel CAPTION = rgb(118, 128, 141);
constexpr LICE_pixel SCALE_TEXT = rgb(150, 160, 173);
constexpr LICE_pixel SCALE_TICK = rgb(110, 120, 133);
constexpr LICE_pixel SCALE_MINOR = rgb(66, 74, 85);

// The editor draws the read-outs right-aligned in (303, t, 357, ...) at 18 px bold, the peak
// read-outs centred in (x + 1, 292, x + 29, 301) at 10 px.
constexpr int READOUT_RIGHT = 357;
constexpr int UNIT_LEFT = 361;
constexpr int READOUT_SIZE = 18;

constexpr int LEFT_PANEL_X = 8;
constexpr int LEFT_PANEL_RIGHT = 393;
constexpr int PANEL_Y = 59;
constexpr int PANEL_BOTTOM_Y = 316;
constexpr int RIGHT_PANEL_X = 396;
constexpr int RIGHT_PANEL_RIGHT = 612;
constexpr int SCALE_X = METER_X0 + (METER_COUNT - 1) * METER_PITCH + METER_FRAME_WIDTH + 1;

struct Readout {
    const char* label;
    const char* caption;
    const char* unit;
};

struct TypeLayout {
    const char* typeName;
    const char* tagline;
    LICE_pixel accent;
    const char* meterUnit;
    const char* const* selectorLabels;
    int selectorCount;
    const Readout* readouts;
    int readoutCount;
    int firstReadoutTop;
    int readoutPitch;
};

const char* const RMS_SELECTORS[] = {"TYPE", "SYNC", "CHANNELS", "MODE", "WINDOW"};
const char* const EBU_SELECTORS[] = {"TYPE", "SYNC", "CHANNELS"};

const Readout RMS_READOUTS[] = {
    {"Integrated", "RMS since reset", "dBFS"},      {"Momentary", "RMS over the window", "dBFS"},
    {"Momentary Max", "highest momentary", "dBFS"}, {"Peak Max", "sample peak", "dBFS"},
    {"True Peak Max", "inter-sample peak", "dBTP"}, {"Crest Factor", "peak to RMS", "dB"},
};

const Readout EBU_READOUTS[] = {
    {"Integrated", "gated, since reset", "LUFS"},
    {"Momentary", "400 ms", "LUFS"},
    {"Momentary Max", "highest momentary", "LUFS"},
    {"Short-term", "3 s", "LUFS"},
    {"Short-term Max", "highest short-term", "LUFS"},
    {"True Peak Max", "inter-sample peak", "dBTP"},
    {"Loudness Range", "LRA", "LU"},
};

const TypeLayout RMS_LAYOUT = {
    "RMS", "LEVEL METER", rgb(84, 192, 240), "dBFS", RMS_SELECTORS, 5, RMS_READOUTS, 6, 76, 40};
const TypeLayout EBU_LAYOUT = {
    "EBU R128", "LOUDNESS METER", rgb(244, 176, 64), "dBTP", EBU_SELECTORS, 3, EBU_READOUTS, 7, 72, 32};

// The editor's 18 px read-out digits, drawn with their box top at t, have their ink on rows
// t + 3 ... t + 13 and their baseline under row t + 13.
int readoutCentre(int t) {
    return t + 8;
}
int readoutBaseline(int t) {
    return t + 14;
}

void drawHeader(Painter& p, const TypeLayout& type) {
    p.verticalGradient(0, 0, EDITOR_WIDTH, 21, HEADER_TOP, HEADER_BOTTOM);
    p.hLine(0, 21, EDITOR_WIDTH, HAIRLINE);
    p.hLine(0, 22, EDITOR_WIDTH, rgb(0, 0, 0), 0.35f);

    const TextStyle title{"DejaVu Sans", 16, 700, TITLE};
    const TextStyle typeStyle{"DejaVu Sans", 16, 400, type.accent};
    const TextStyle tagStyle{"DejaVu Sans", 9, 700, CAPTION};
    int x = 13;
    p.text("Quenlix", x, 2, 200, 16, title, LICE_DT_LEFT | LICE_DT_TOP);
    x += p.textWidth("Quenlix", title) + 7;
    p.text(type.typeName, x, 2, 200, 16, typeStyle, LICE_DT_LEFT | LICE_DT_TOP);
    x += p.textWidth(type.typeName, typeStyle) + 10;
    p.spacedText(type.tagline, x, 7, 2, tagStyle);
}

void drawSelectorLabels(Painter& p, const TypeLayout& type) {
    const TextStyle style{"DejaVu Sans", 9, 700, CAPTION};
    for (int i = 0; i < type.selectorCount; ++i) {
        const int x = 13 + 72 * i;
        const int w = p.spacedTextWidth(type.selectorLabels[i], 1, style);
        p.spacedText(type.selectorLabels[i], x + (SELECTOR_WIDTH - w) / 2, 24, 1, style);
    }
}

void drawReadouts(Painter& p, const TypeLayout& type) {
    p.roundedRect(LEFT_PANEL_X, PANEL_Y, LEFT_PANEL_RIGHT - LEFT_PANEL_X, PANEL_BOTTOM_Y - PANEL_Y, 4,
                  PANEL_TOP, PANEL_BOTTOM);
    p.roundedOutline(LEFT_PANEL_X, PANEL_Y, LEFT_PANEL_RIGHT - LEFT_PANEL_X, PANEL_BOTTOM_Y - PANEL_Y, 4, 1,
                     PANEL_RIM);

    const TextStyle labelStyle{"DejaVu Sans", 12, 400, LABEL};
    const TextStyle captionStyle{"DejaVu Sans", 9, 400, CAPTION};
    const TextStyle unitStyle{"DejaVu Sans Condensed", 10, 400, SCALE_TEXT};
    // Ascent of the unit face: its baseline meets the digits' baseline.
    const int unitAscent = 8;
    const int cardHeight = type.readoutPitch - 5;
    for (int i = 0; i < type.readoutCount; ++i) {
        const Readout& r = type.readouts[i];
        const int readoutTop = type.firstReadoutTop + i * type.readoutPitch;
        const int centre = readoutCentre(readoutTop);
        const int top = centre - cardHeight / 2;
        const int cardX = LEFT_PANEL_X + 5;
        const int cardW = LEFT_PANEL_RIGHT - LEFT_PANEL_X - 10;
        p.roundedRect(cardX, top, cardW, cardHeight, 3, CARD_TOP, CARD_BOTTOM);
        p.fill(cardX, top + 3, 2, cardHeight - 6, type.accent, 0.85f);

        const int labelLines = p.lineHeight(labelStyle) + p.lineHeight(captionStyle);
        const int labelTop = centre - labelLines / 2 - 1;
        p.text(r.label, cardX + 11, labelTop, 200, 14, labelStyle, LICE_DT_LEFT | LICE_DT_TOP);
        p.text(r.caption, cardX + 11, labelTop + p.lineHeight(labelStyle) + 1, 200, 10, captionStyle,
               LICE_DT_LEFT | LICE_DT_TOP);

        // The display window behind the number; long values (e.g. -141.0) may run left past 303.
        const int displayX = 244;
        const int displayW = cardX + cardW - 2 - displayX;
        const int displayH = cardHeight - 6;
        p.roundedRect(displayX, centre - displayH / 2, displayW, displayH, 2, DISPLAY);
        p.roundedOutline(displayX, centre - displayH / 2, displayW, displayH, 2, 1, DISPLAY_RIM);
        p.text(r.unit, UNIT_LEFT, readoutBaseline(readoutTop) - unitAscent, 40, 12, unitStyle,
               LICE_DT_LEFT | LICE_DT_TOP);
    }
}

void drawScale(Painter& p, const TypeLayout& type) {
    p.roundedRect(RIGHT_PANEL_X, PANEL_Y, RIGHT_PANEL_RIGHT - RIGHT_PANEL_X, PANEL_BOTTOM_Y - PANEL_Y, 4,
                  PANEL_TOP, PANEL_BOTTOM);
    p.roundedOutline(RIGHT_PANEL_X, PANEL_Y, RIGHT_PANEL_RIGHT - RIGHT_PANEL_X, PANEL_BOTTOM_Y - PANEL_Y, 4,
                     1, PANEL_RIM);

    const TextStyle scaleStyle{"DejaVu Sans Condensed", 9, 400, SCALE_TEXT};
    const TextStyle zeroStyle{"DejaVu Sans Condensed", 9, 700, rgb(236, 239, 243)};
    for (int db = METER_TOP_DB; db >= METER_BOTTOM_DB; db -= 3) {
        const int y = METER_Y + meterRowForDb(db);
        const bool major = db % 6 == 0;
        p.hLine(SCALE_X, y, major ? 4 : 2, major ? SCALE_TICK : SCALE_MINOR);
        for (int k = 1; k < METER_COUNT && major; ++k)
            p.hLine(METER_X0 + k * METER_PITCH - 3, y, 2, SCALE_MINOR);
        if (!major) continue;
        char text[8];
        std::snprintf(text, sizeof text, db > 0 ? "+%d" : "%d", db);
        p.text(text, SCALE_X + 5, y - 5, 30, 10, db == 0 ? zeroStyle : scaleStyle,
               LICE_DT_LEFT | LICE_DT_VCENTER);
    }
    p.text(type.meterUnit, SCALE_X - 1, PANEL_Y + 2, RIGHT_PANEL_RIGHT - SCALE_X - 2, 10,
           TextStyle{"DejaVu Sans Condensed", 9, 700, CAPTION}, LICE_DT_CENTER | LICE_DT_TOP);

    // Peak read-out windows and channel numbers under the meters.
    const TextStyle channelStyle{"DejaVu Sans", 9, 700, CAPTION};
    for (int k = 0; k < METER_COUNT; ++k) {
        const int x = METER_X0 + k * METER_PITCH;
        // The peak text is centred on x + 15 and may be a little wider than the meter.
        p.roundedRect(x - 1, PEAK_READOUT_Y, METER_FRAME_WIDTH + 2, 11, 2, DISPLAY);
        char text[4];
        std::snprintf(text, sizeof text, "%d", k + 1);
        p.text(text, x, PEAK_READOUT_Y + 13, METER_FRAME_WIDTH, 10, channelStyle,
               LICE_DT_CENTER | LICE_DT_TOP);
    }
}

void drawTypeNotes(Painter& p, const TypeLayout& type) {
    if (&type != &EBU_LAYOUT) return;
    // The EBU layout has no mode or window setting; its free corner names the standard.
    const TextStyle note{"DejaVu Sans", 9, 400, CAPTION};
    p.text("ITU-R BS.1770 loudness", 231, 35, 160, 10, note, LICE_DT_LEFT | LICE_DT_TOP);
    p.text("K-weighted, gated", 231, 46, 160, 10, note, LICE_DT_LEFT | LICE_DT_TOP);
    const int y = readoutCentre(type.firstReadoutTop + type.readoutCount * type.readoutPitch) - 6;
    p.text("Programme target -23 LUFS", LEFT_PANEL_X + 17, y, 300, 10, note, LICE_DT_LEFT | LICE_DT_TOP);
}

void drawFrame(LICE_IBitmap* frame, FontBook* fonts, const TypeLayout& type, double scale) {
    Painter p(frame, fonts, scale);
    p.verticalGradient(0, 0, EDITOR_WIDTH, EDITOR_HEIGHT, BASE_TOP, BASE_BOTTOM);
    drawHeader(p, type);
    drawSelectorLabels(p, type);
    drawReadouts(p, type);
    drawScale(p, type);
    drawTypeNotes(p, type);
}

}  // namespace

std::unique_ptr<LICE_IBitmap> drawBackground(FontBook* fonts, double scale) {
    const int w = scaledSize(EDITOR_WIDTH, scale), h = scaledSize(EDITOR_HEIGHT, scale);
    auto strip = std::make_unique<LICE_MemBitmap>(w, h * BACKGROUND_FRAMES);
    const TypeLayout* types[BACKGROUND_FRAMES] = {&RMS_LAYOUT, &EBU_LAYOUT};
    for (int i = 0; i < BACKGROUND_FRAMES; ++i) {
        LICE_MemBitmap frame(w, h);
        drawFrame(&frame, fonts, *types[i], scale);
        placeFrame(strip.get(), &frame, 0, i * h);
    }
    return strip;
}

}  // namespace quenlix::images
