// The editor layout: parameters initialised together with the controls bound to them, in the order that
// fixes every control's index (53 controls: the first LED meter at 34, the version text at 52).

#include <memory>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsLinux.h"
#include "editor/IPlugControls.h"
#include "editor/WindowSystem.h"
#include "framework/WDL_String.h"
#include "plugin/Quenlix.h"
#include "plugin/QuenlixLayout.h"

using namespace QuenlixLayout;

namespace {

constexpr const char* kBundleID = "com.harbelwick.rtas.Quenlix";

const IColor kVersionGrey(255, 172, 172, 172);

// Text styles; colours A, R, G, B; font "Monaco", orientation 0, default quality.
IText ValueStyle() {
    return IText(12, &COLOR_WHITE, "Monaco", IText::kStyleNormal, IText::kAlignCenter);
}
IText ReadoutStyle() {
    return IText(18, &COLOR_WHITE, "Monaco", IText::kStyleBold, IText::kAlignFar);
}
IText PeakStyle() {
    return IText(10, &COLOR_WHITE, "Monaco", IText::kStyleNormal, IText::kAlignCenter);
}
IText VersionStyle() {
    return IText(11, &kVersionGrey, "Monaco", IText::kStyleNormal, IText::kAlignNear);
}

IBitmap LoadImage(IGraphics* editor, const ImageResource& image) {
    return editor->LoadIBitmap(image.id, image.file, image.frames, image.framesAreHorizontal);
}

struct OutputParam {
    int index;
    const char* name;
    double minValue;
    double maxValue;
    const char* label;
};

// In index order; the default of each is its minimum.
constexpr OutputParam kOutputParams[Quenlix::kNumOutputParams] = {
    {Quenlix::kOutRmsIl, "OUT:RMS IL", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutRmsMl, "OUT:RMS ML", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutRmsMlMax, "OUT:RMS ML Max", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutRmsPeakMax, "OUT:RMS Peak Max", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutRmsTpMax, "OUT:RMS TP Max", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutRmsCrest, "OUT:RMS Crest", 0.0, 30.0, "dB"},
    {Quenlix::kOutEbuIl, "OUT:EBU IL", -60.0, 12.0, "LUFS"},
    {Quenlix::kOutEbuMl, "OUT:EBU ML", -60.0, 12.0, "LUFS"},
    {Quenlix::kOutEbuMlMax, "OUT:EBU ML Max", -60.0, 12.0, "LUFS"},
    {Quenlix::kOutEbuSl, "OUT:EBU SL", -60.0, 12.0, "LUFS"},
    {Quenlix::kOutEbuSlMax, "OUT:EBU SL Max", -60.0, 12.0, "LUFS"},
    {Quenlix::kOutEbuTpMax, "OUT:EBU TP Max", -60.0, 12.0, "dBFS"},
    {Quenlix::kOutEbuLra, "OUT:EBU LRA", 0.0, 60.0, "LU"},
};

constexpr double kOutputStep = 0.1;

}  // namespace

void Quenlix::BuildEditor() {
    // The window-system binding the host asked for; a refresh rate of 0 selects its default of 25 per
    // second.
    std::unique_ptr<IGraphicsLinux> editor(MakeGraphics(this, kEditorWidth, kEditorHeight, 0));
    editor->SetBundleID(kBundleID);
    IGraphics* g = editor.get();
    g->AttachPanelBackground(&COLOR_BLACK);

    // Each step appends its controls; their order fixes every control's index.
    AttachOutputFields(g);
    AttachBackground(g);
    AttachSelectors(g);
    AttachWindowField(g);
    AttachEbuSelector(g);
    AttachReadouts(g);
    AttachChannelMeters(g);
    SeedUnboundControls(g);

    // From here on the base owns the editor; it pushes every parameter's value into its controls.
    mEditor = g;
    AttachGraphics(editor.release());
}

void Quenlix::AttachOutputFields(IGraphics* g) {
    // Hidden value fields of the output parameters (indices 1 .. 13).
    const IText valueStyle = ValueStyle();
    for (int i = 0; i < kNumOutputParams; ++i) {
        const OutputParam& out = kOutputParams[i];
        GetParam(out.index)->InitDouble(out.name, out.minValue, out.minValue, out.maxValue, kOutputStep,
                                        out.label, "", 1.0);
        const IBitmap value = LoadImage(g, kValue);
        mOutputControls[i] =
            g->AttachControl(new IParameterButton(this, 0, 0, out.index, &value, &valueStyle, true, false));
        g->HideControl(out.index, true);
    }
}

void Quenlix::AttachBackground(IGraphics* g) {
    // Background image, one frame per metering type (index 14).
    const IBitmap background = LoadImage(g, kBackground);
    mBackgroundControl = g->AttachControl(new IBitmapControl(this, 0, 0, -1, &background));
}

void Quenlix::AttachSelectors(IGraphics* g) {
    // Selectors (15 .. 18).
    IParam* type = GetParam(kType);
    type->InitEnum("Type", mMeterType, 2);
    type->SetDisplayText(0, "RMS");
    type->SetDisplayText(1, "EBU R128");
    const IBitmap typeImage = LoadImage(g, kSelectorMode);
    g->AttachControl(new IMyPopupMenu(this, kTypeSelectorX, kSelectorTop, kType, &typeImage));

    IParam* sync = GetParam(kSync);
    sync->InitEnum("Sync", mSync, 2);
    sync->SetDisplayText(0, "off");
    sync->SetDisplayText(1, "on");
    const IBitmap syncImage = LoadImage(g, kSelectorOffOn);
    g->AttachControl(new IMyPopupMenu(this, kSyncSelectorX, kSelectorTop, kSync, &syncImage));

    IParam* rmsConfig = GetParam(kRmsChannelConfig);
    rmsConfig->InitEnum("RMS Channel Config", mRmsChannelConfig, 5);
    rmsConfig->SetDisplayText(0, "Stereo");
    rmsConfig->SetDisplayText(1, "Left");
    rmsConfig->SetDisplayText(2, "Right");
    rmsConfig->SetDisplayText(3, "4 Channel");
    rmsConfig->SetDisplayText(4, "6 Channel");
    const IBitmap rmsConfigImage = LoadImage(g, kSelectorChConfRms);
    g->AttachControl(
        new IMyPopupMenu(this, kChannelSelectorX, kSelectorTop, kRmsChannelConfig, &rmsConfigImage));

    IParam* rmsMode = GetParam(kRmsMeterMode);
    rmsMode->InitEnum("RMS Meter Mode", mRmsMeterMode, 2);
    rmsMode->SetDisplayText(0, "RMS (dBFS)");
    rmsMode->SetDisplayText(1, "RMS +3dB (dBFS)");
    const IBitmap rmsModeImage = LoadImage(g, kSelectorMeterModeRms);
    g->AttachControl(new IMyPopupMenu(this, kMeterModeSelectorX, kSelectorTop, kRmsMeterMode, &rmsModeImage));
}

void Quenlix::AttachWindowField(IGraphics* g) {
    // "RMS Window" value field (19).
    IParam* window = GetParam(kRmsWindow);
    window->InitDouble("RMS Window", mRmsWindowMs, 10.0, 3000.0, 1.0, "ms", "", 1.0);
    window->SetShape(2.5);
    const IText valueStyle = ValueStyle();
    const IBitmap windowImage = LoadImage(g, kValue);
    g->AttachControl(new IParameterButton(this, kWindowFieldX, kSelectorTop, kRmsWindow, &windowImage,
                                          &valueStyle, true, false));
}

void Quenlix::AttachEbuSelector(IGraphics* g) {
    // "EBU Channel Config" selector (20), in the place of the RMS one.
    IParam* ebuConfig = GetParam(kEbuChannelConfig);
    ebuConfig->InitEnum("EBU Channel Config", mEbuChannelConfig, 4);
    ebuConfig->SetDisplayText(0, "2.0 Stereo");
    ebuConfig->SetDisplayText(1, "4.0 Surround");
    ebuConfig->SetDisplayText(2, "4.1 Surround");
    ebuConfig->SetDisplayText(3, "5.1 Surround");
    const IBitmap ebuConfigImage = LoadImage(g, kSelectorChConfEbu);
    g->AttachControl(
        new IMyPopupMenu(this, kChannelSelectorX, kSelectorTop, kEbuChannelConfig, &ebuConfigImage));
}

void Quenlix::AttachReadouts(IGraphics* g) {
    // Read-outs (21 .. 26 RMS, 27 .. 33 EBU).
    const IText readoutStyle = ReadoutStyle();
    for (int i = 0; i < kNumRmsReadouts; ++i) {
        const IRECT r(kReadoutLeft, kRmsReadoutTops[i], kReadoutRight, kReadoutBottom);
        mRmsReadouts[i] = g->AttachControl(new ITextControl(this, r, &readoutStyle, "-inf"));
    }
    constexpr int kEbuTpMaxReadout = 5;  // shows "-inf" until a true peak is measured, never "---"
    for (int i = 0; i < kNumEbuReadouts; ++i) {
        const IRECT r(kReadoutLeft, kEbuReadoutTops[i], kReadoutRight, kReadoutBottom);
        const char* initial = i == kEbuTpMaxReadout ? "-inf" : "---";
        mEbuReadouts[i] = g->AttachControl(new ITextControl(this, r, &readoutStyle, initial));
    }
}

void Quenlix::AttachChannelMeters(IGraphics* g) {
    // Per channel: LED meter (a click resets the meters), peak read-out, clip lamp (34 .. 51).
    const IText peakStyle = PeakStyle();
    for (int k = 0; k < kNumChannels; ++k) {
        const int x = kMeterLeft + kMeterPitch * k;
        const IBitmap meter = LoadImage(g, kLedMeter);
        mLedMeters[k] =
            g->AttachControl(new IBitmapControlClick(this, x, kMeterTop, -1, &meter, kResetCommandFirst + k));
        const IRECT peakRect(x + kPeakReadoutInsetLeft, kPeakReadoutTop, x + kPeakReadoutInsetRight,
                             kPeakReadoutBottom);
        mPeakReadouts[k] = g->AttachControl(new ITextControl(this, peakRect, &peakStyle, "-inf"));
        const IBitmap lamp = LoadImage(g, kLedClip);
        mClipLamps[k] = g->AttachControl(new IBitmapControl(this, x, kClipLampTop, -1, &lamp));
    }
}

void Quenlix::SeedUnboundControls(IGraphics* g) {
    // A control's first value from the plug-in is taken as its default and draws nothing. Controls of
    // no parameter get theirs here, so that the first real change (a host switching the type, the first
    // clip) is drawn. The values are those the controls already show.
    g->SetControlFromPlug(mBackgroundControl, static_cast<double>(mMeterType));
    for (int k = 0; k < kNumChannels; ++k) {
        g->SetControlFromPlug(mLedMeters[k], 0.0);
        g->SetControlFromPlug(mClipLamps[k], 0.0);
    }
}

void Quenlix::AttachVersionText() {
    WDL_String version("V1.3 Build: ");
    version.Append(__DATE__);
    const IText versionStyle = VersionStyle();
    const IRECT r(kVersionLeft, kVersionTop, kVersionRight, kVersionBottom);
    mEditor->AttachControl(new ITextControl(this, r, &versionStyle, version.Get()));
}
