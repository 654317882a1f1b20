#pragma once
// Geometry the editor's images share with the editor layout: where the editor places each image
// and how large one frame of each must be so that it fits between its neighbours.
//
// The editor positions images by their top-left corner only; the frame sizes below are therefore
// the contract between the image generator and the editor layout (meters at x = 400 + 32 k,
// y = 74, ending above the peak read-outs at y = 292; clip lamps 3 pixels above the meters;
// selectors 72 pixels apart at y = 35).

namespace quenlix::images {

constexpr int EDITOR_WIDTH = 616;
constexpr int EDITOR_HEIGHT = 320;

// Background: one 616 x 320 frame per metering type, stacked (RMS first, EBU R128 second).
constexpr int BACKGROUND_FRAMES = 2;

// LED meter strip: 73 frames side by side, frame i (1-based) showing a level of -61 + i dB,
// i.e. frame 1 dark (-60 dB and below) and frame 73 fully lit (+12 dB and above).
constexpr int METER_FRAMES = 73;
constexpr int METER_FRAME_WIDTH = 28;
constexpr int METER_FRAME_HEIGHT = 218;
constexpr int METER_TOP_DB = 12;
constexpr int METER_BOTTOM_DB = -60;
constexpr int METER_SEGMENTS = METER_TOP_DB - METER_BOTTOM_DB;  // one per dB
// Each segment is one gap row followed by SEGMENT_LIT_ROWS rows of light.
constexpr int SEGMENT_PITCH = 3;
constexpr int SEGMENT_LIT_ROWS = 2;
// Segment columns inside the frame (left inclusive, right exclusive).
constexpr int SEGMENT_LEFT = 2;
constexpr int SEGMENT_RIGHT = METER_FRAME_WIDTH - 2;
// Levels at which the segment colour changes: above YELLOW_FROM_DB yellow, above RED_FROM_DB red.
constexpr int YELLOW_FROM_DB = -18;
constexpr int RED_FROM_DB = 0;

// Editor placement of the meters and lamps.
constexpr int METER_X0 = 400;
constexpr int METER_PITCH = 32;
constexpr int METER_Y = 74;
constexpr int METER_COUNT = 6;
constexpr int CLIP_Y = 71;
constexpr int PEAK_READOUT_Y = 292;

// Clip lamp: two frames stacked (off, lit), as wide as the meter; it covers the meter's top
// border and the gap above its top segment, never a lit row.
constexpr int CLIP_FRAMES = 2;
constexpr int CLIP_WIDTH = METER_FRAME_WIDTH;
constexpr int CLIP_HEIGHT = 5;

// Selectors and the value field: one frame per entry, stacked.
constexpr int SELECTOR_WIDTH = 68;
constexpr int SELECTOR_HEIGHT = 16;
constexpr int SELECTOR_Y = 35;

// Row (0-based, inside a meter frame) of the gap line that marks `levelDb` on the scale:
// +12 dB is row 1, -60 dB row 217 (the bottom border).
constexpr int meterRowForDb(int levelDb) {
    return 1 + (METER_TOP_DB - levelDb) * SEGMENT_PITCH;
}

// First lit row of segment k (1 = the -60..-59 dB segment at the bottom, 72 = +11..+12 dB).
constexpr int segmentTopRow(int k) {
    return meterRowForDb(METER_BOTTOM_DB + k) + 1;
}

// Number of lit segments in frame `frame` (1-based).
constexpr int litSegmentsInFrame(int frame) {
    return frame - 1;
}

static_assert(segmentTopRow(1) + SEGMENT_LIT_ROWS < METER_FRAME_HEIGHT, "bottom segment fits");
static_assert(METER_Y + METER_FRAME_HEIGHT <= PEAK_READOUT_Y, "meter ends above the read-outs");
static_assert(CLIP_Y + CLIP_HEIGHT <= METER_Y + segmentTopRow(METER_SEGMENTS),
              "the clip lamp leaves the top segment visible");
static_assert(METER_FRAME_WIDTH <= METER_PITCH, "meters do not overlap");
static_assert(SELECTOR_WIDTH <= 72, "selectors do not overlap");

}  // namespace quenlix::images
