// The meter display feed: LED meters, peak read-outs, clip lamps and the active type's read-outs.
// Runs on the audio thread at the display refresh points, plug-in mutex held. It only stores values and
// texts into the editor model (fixed buffers, no allocation); the editor draws them on its own timer.

#include <cmath>
#include <cstdio>

#include "common/Levels.h"
#include "editor/IGraphics.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/MeterMath.h"
#include "plugin/MeterText.h"
#include "plugin/Quenlix.h"

using namespace quenlix;

void Quenlix::SetReadoutText(int controlIdx, const char* text) {
    mEditor->SetTextFromPlug(controlIdx, text);
}

void Quenlix::FeedDisplay() {
    if (!mEditor) return;
    if (mMeterType != 0 && mMeterType != 1) return;

    const PeakFollower* followers = mMeterType == 0 ? mRmsMeter->mFollower : mEbuMeter->mFollower;
    char text[kMeterTextSize];

    for (int k = 0; k < kNumChannels; ++k) {
        // LED meter: the follower's level, one 73-frame step per dB from -60 to +12.
        double level = LevelDb(followers[k].mFollower);
        if (level <= -60.0) level = -60.0;
        mEditor->SetControlFromPlug(mLedMeters[k], level < 12.0 ? LevelBar(level) : 1.0);

        // Peak read-out and clip lamp from the held value; a held 0.0 dB does not light the lamp.
        const double held = RoundedLevelDb(followers[k].mHeld);
        FormatMeterValue(text, sizeof text, held, true);
        SetReadoutText(mPeakReadouts[k], text);
        mEditor->SetControlFromPlug(mClipLamps[k], held > 0.0 ? 1.0 : 0.0);
    }

    if (mMeterType == 0)
        FeedRmsReadouts();
    else
        FeedEbuReadouts();
}

void Quenlix::FeedRmsReadouts() {
    RMSMM6& rms = *mRmsMeter;
    const double rmsOffset = rms.mRmsOffsetDb;
    const double peakOffset = rms.mPeakOffsetDb;
    const double commonOffset = rms.mCommonOffsetDb;

    // Offsets are added before the "-inf" test: silence in the +3 dB mode reads -141.0.
    rms.mReadoutDb = RoundedLevelDb(std::sqrt(rms.mMeanSquare)) + rmsOffset + commonOffset;
    rms.mMaxReadoutDb = RoundedLevelDb(std::sqrt(rms.mMaxMeanSquare)) + rmsOffset + commonOffset;
    const double values[kNumRmsReadouts] = {
        RoundedLevelDb(std::sqrt(rms.mIntegratedMeanSquare)) + rmsOffset + commonOffset,
        rms.mReadoutDb,
        rms.mMaxReadoutDb,
        RoundedLevelDb(rms.mPeakMax) + peakOffset,
        RoundedLevelDb(LargestTruePeak(rms.mTruePeak)) + peakOffset,
        rms.GetCrestVal_db(),
    };

    char text[kMeterTextSize];
    for (int i = 0; i < kNumRmsReadouts; ++i) {
        FormatMeterValue(text, sizeof text, values[i]);
        SetReadoutText(mRmsReadouts[i], text);
    }
}

void Quenlix::FeedEbuReadouts() {
    EBUMM6& ebu = *mEbuMeter;
    const bool momentaryValid = ebu.mMomentary.mFull != 0;
    const bool shortTermValid = ebu.mShortTerm.mFull != 0;

    ebu.mMomentary.mReadoutDb = RoundedLoudnessLufs(ebu.mMomentary.mResult);
    ebu.mMomentary.mMaxReadoutDb = RoundedLoudnessLufs(ebu.mMomentary.mMaxResult);
    ebu.mShortTerm.mReadoutDb = RoundedLoudnessLufs(ebu.mShortTerm.mResult);
    ebu.mShortTerm.mMaxReadoutDb = RoundedLoudnessLufs(ebu.mShortTerm.mMaxResult);

    struct Readout {
        double value;
        bool valid;
    };
    const Readout readouts[kNumEbuReadouts] = {
        {RoundToTenth(ebu.mIntegrator.mIntegratedLufs), ebu.mIntegrator.mCount >= 1},
        {ebu.mMomentary.mReadoutDb, momentaryValid},
        {ebu.mMomentary.mMaxReadoutDb, momentaryValid},
        {ebu.mShortTerm.mReadoutDb, shortTermValid},
        {ebu.mShortTerm.mMaxReadoutDb, shortTermValid},
        {LevelDb(LargestTruePeak(ebu.mTruePeak)), true},  // not rounded; "%.1lf" does the rounding
        {RoundToTenth(ebu.mLra.mRangeLu), ebu.mLra.mCount >= 1},
    };

    char text[kMeterTextSize];
    for (int i = 0; i < kNumEbuReadouts; ++i) {
        if (readouts[i].valid)
            FormatMeterValue(text, sizeof text, readouts[i].value);
        else
            std::snprintf(text, sizeof text, "%s", kNotValidText);
        SetReadoutText(mEbuReadouts[i], text);
    }
}
