#pragma once

// The editor's geometry and image resources. Pixel positions are editor coordinates (origin top-left,
// y downwards); the images' sizes decide the controls' sizes (one frame each).

namespace QuenlixLayout {

constexpr int kEditorWidth = 616;
constexpr int kEditorHeight = 320;

// Image resources: ID, file under the bundle, frame count, frame layout.
struct ImageResource {
    int id;
    const char* file;
    int frames;
    bool framesAreHorizontal;
};

constexpr ImageResource kBackground{100, "resources/img/background.png", 2, false};       // RMS, EBU R128
constexpr ImageResource kLedClip{101, "resources/img/led_clip.png", 2, false};            // off, lit
constexpr ImageResource kLedMeter{102, "resources/img/led_meter_12-60db.png", 73, true};  // -60 .. +12 dB
constexpr ImageResource kSelectorMode{103, "resources/img/selector_mode.png", 2, false};
constexpr ImageResource kValue{104, "resources/img/value.png", 1, false};
constexpr ImageResource kSelectorOffOn{105, "resources/img/selector_offon.png", 2, false};
constexpr ImageResource kSelectorChConfRms{106, "resources/img/selector_chconf_rms.png", 5, false};
constexpr ImageResource kSelectorMeterModeRms{107, "resources/img/selector_metermode_rms.png", 2, false};
constexpr ImageResource kSelectorChConfEbu{108, "resources/img/selector_chconf_ebu.png", 4, false};

// Selector row.
constexpr int kSelectorTop = 35;
constexpr int kTypeSelectorX = 13;
constexpr int kSyncSelectorX = 85;
constexpr int kChannelSelectorX = 157;  // RMS and EBU channel selectors share the place
constexpr int kMeterModeSelectorX = 229;
constexpr int kWindowFieldX = 301;

// Read-out column: right-aligned text between x 303 and 357, tops listed per type.
constexpr int kReadoutLeft = 303;
constexpr int kReadoutRight = 357;
constexpr int kReadoutBottom = 318;
constexpr int kRmsReadoutTops[6] = {76, 116, 156, 196, 236, 276};
constexpr int kEbuReadoutTops[7] = {72, 104, 136, 168, 200, 232, 264};

// Per-channel column k (0-based): meter at x = 400 + 32k.
constexpr int kMeterLeft = 400;
constexpr int kMeterPitch = 32;
constexpr int kMeterTop = 74;
constexpr int kClipLampTop = 71;
constexpr int kPeakReadoutTop = 292;
constexpr int kPeakReadoutBottom = 301;
constexpr int kPeakReadoutInsetLeft = 1;
constexpr int kPeakReadoutInsetRight = 29;

// Version text.
constexpr int kVersionLeft = 478;
constexpr int kVersionTop = 8;
constexpr int kVersionRight = 592;
constexpr int kVersionBottom = 19;

}  // namespace QuenlixLayout
