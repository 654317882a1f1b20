// The editor layout: the controls bound to the parameters and the meters, in the order that fixes every
// control's index (53 controls: the first LED meter at 34, the version text at 52).

#include <memory>

#include "editor/IControls.h"
#include "editor/IGraphics.h"
#include "editor/IGraphicsLinux.h"
#include "editor/IPlugControls.h"
#include "editor/WindowSystem.h"
#include "framework/WDL_String.h"
#include "plugin/Quenlix.h"
#include "plugin/QuenlixBuildDate.h"
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
    for (int idx : quenlix::kReadoutParams) {
        const IBitmap value = LoadImage(g, kValue);
        mOutputControls[idx] =
            g->AttachControl(new IParameterButton(this, 0, 0, idx, &value, &valueStyle, true, false));
        g->HideControl(idx, true);
    }
}

void Quenlix::AttachBackground(IGraphics* g) {
    // Background image, one frame per metering type (index 14).
    const IBitmap background = LoadImage(g, kBackground);
    mBackgroundControl = g->AttachControl(new IBitmapControl(this, 0, 0, -1, &background));
}

void Quenlix::AttachSelectors(IGraphics* g) {
    // Selectors (15 .. 18).
    const IBitmap typeImage = LoadImage(g, kSelectorMode);
    g->AttachControl(new IMyPopupMenu(this, kTypeSelectorX, kSelectorTop, kType, &typeImage));

    const IBitmap syncImage = LoadImage(g, kSelectorOffOn);
    g->AttachControl(new IMyPopupMenu(this, kSyncSelectorX, kSelectorTop, kSync, &syncImage));

    const IBitmap rmsConfigImage = LoadImage(g, kSelectorChConfRms);
    g->AttachControl(
        new IMyPopupMenu(this, kChannelSelectorX, kSelectorTop, kRmsChannelConfig, &rmsConfigImage));

    const IBitmap rmsModeImage = LoadImage(g, kSelectorMeterModeRms);
    g->AttachControl(new IMyPopupMenu(this, kMeterModeSelectorX, kSelectorTop, kRmsMeterMode, &rmsModeImage));
}

void Quenlix::AttachWindowField(IGraphics* g) {
    // "RMS Window" value field (19).
    const IText valueStyle = ValueStyle();
    const IBitmap windowImage = LoadImage(g, kValue);
    g->AttachControl(new IParameterButton(this, kWindowFieldX, kSelectorTop, kRmsWindow, &windowImage,
                                          &valueStyle, true, false));
}

void Quenlix::AttachEbuSelector(IGraphics* g) {
    // "EBU Channel Config" selector (20), in the place of the RMS one.
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
    for (int i = 0; i < kNumEbuReadouts; ++i) {
        const IRECT r(kReadoutLeft, kEbuReadoutTops[i], kReadoutRight, kReadoutBottom);
        // The true peak shows "-inf" until one is measured, never "---".
        const bool truePeak =
            quenlix::kParams[quenlix::kEbuReadoutParams[i]].shows == quenlix::Readout::kEbuTruePeakMax;
        const char* initial = truePeak ? "-inf" : "---";
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
    version.Append(QUENLIX_BUILD_DATE);
    const IText versionStyle = VersionStyle();
    const IRECT r(kVersionLeft, kVersionTop, kVersionRight, kVersionBottom);
    mEditor->AttachControl(new ITextControl(this, r, &versionStyle, version.Get()));
}
