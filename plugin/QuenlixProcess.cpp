// The processing driver: per-sample dispatch to the active engine, the two refresh counters, the output
// parameters and the pass-through copy. Audio thread, plug-in mutex held by the caller.

#include <cmath>
#include <cstring>

#include "common/Levels.h"
#include "editor/IGraphics.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/DenormalGuard.h"
#include "plugin/MeterMath.h"
#include "plugin/Quenlix.h"

using namespace quenlix;

namespace {

// Read by every missing input channel: index masking keeps it at this one element.
const double kSilentSample = 0.0;

// Copies nFrames doubles from input c to output c (at offset) for each of the nChannels channels whose
// two pointers are both non-null. An output that is its own input already holds the samples.
void CopyAudioBuffer(double** in, double** out, unsigned long nFrames, int nChannels, unsigned long offset) {
    if (!in || !out || nFrames == 0) return;
    for (int c = 0; c < nChannels; ++c) {
        if (!in[c] || !out[c]) continue;
        if (out[c] + offset == in[c]) continue;
        std::memmove(out[c] + offset, in[c], nFrames * sizeof(double));
    }
}

// A sample that is not a finite number is measured as silence, so one bad sample cannot poison the
// running sums until the next reset. The audio itself passes through untouched.
inline double Measurable(double s) {
    return std::isfinite(s) ? s : 0.0;
}

}  // namespace

void Quenlix::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    // Denormal filter tails after the audio stops must not slow the audio thread.
    ScopedFlushDenormals flushDenormals;

    ITimeInfo timeInfo;
    GetTime(&timeInfo);
    const bool transportRunning = timeInfo.mTransportIsRunning;

    // Channel k reads src[k][i & mask[k]]: its own buffer, or the one silent sample.
    const double* src[kNumChannels];
    int mask[kNumChannels];
    for (int k = 0; k < kNumChannels; ++k) {
        const double* p = (inputs && k < mNumInputs) ? inputs[k] : nullptr;
        src[k] = p ? p : &kSilentSample;
        mask[k] = p ? ~0 : 0;
    }

    const int type = mMeterType;
    const int sync = mSync;
    const int rmsConfig = mRmsChannelConfig;
    const int ebuConfig = mEbuChannelConfig;
    RMSMM6& rms = *mRmsMeter;
    EBUMM6& ebu = *mEbuMeter;

    for (int i = 0; i < nFrames; ++i) {
        const double s1 = Measurable(src[0][i & mask[0]]);
        const double s2 = Measurable(src[1][i & mask[1]]);
        const double s3 = Measurable(src[2][i & mask[2]]);
        const double s4 = Measurable(src[3][i & mask[3]]);
        const double s5 = Measurable(src[4][i & mask[4]]);
        const double s6 = Measurable(src[5][i & mask[5]]);

        if (type == 0) {
            rms.Process_M(s1, s2, s3, s4, s5, s6, 1.0, rmsConfig);
            if (!sync || transportRunning) rms.Process(s1, s2, s3, s4, s5, s6, 1.0, rmsConfig);
        } else if (type == 1) {
            ebu.Process_M(s1, s2, s3, s4, s5, s6, ebuConfig);
            ebu.Process(s1, s2, s3, s4, s5, s6, ebuConfig, (!sync || transportRunning) ? 1 : 0);
        }

        if (++mDisplayCounter >= mDisplayPeriod) {
            mDisplayCounter = 0;
            FeedDisplay();
        }
        if (++mParamCounter >= mParamPeriod) {
            mParamCounter = 0;
            PublishOutputs();
        }
    }

    // A negative frame count copies nothing (it must never become a huge unsigned length); only channels
    // that exist on both sides are copied.
    const int copyChannels = mNumOutputs < mNumInputs ? mNumOutputs : mNumInputs;
    CopyAudioBuffer(inputs, outputs, nFrames > 0 ? static_cast<unsigned long>(nFrames) : 0ul, copyChannels,
                    0);
}

void Quenlix::PublishOutput(int slot, int paramIdx, double v, double barPosition) {
    GetParam(paramIdx)->Set(v);
    if (mEditor) mEditor->SetControlFromPlug(mOutputControls[slot], barPosition);
    InformHostOfParamChange(paramIdx, v);
}

void Quenlix::PublishOutputs() {
    if (mMeterType == 0) {
        RMSMM6& rms = *mRmsMeter;
        const double rmsOffset = rms.mRmsOffsetDb;
        const double peakOffset = rms.mPeakOffsetDb;
        const double commonOffset = rms.mCommonOffsetDb;
        const double levels[5] = {
            RoundedLevelDb(std::sqrt(rms.mIntegratedMeanSquare)) + rmsOffset + commonOffset,
            RoundedLevelDb(std::sqrt(rms.mMeanSquare)) + rmsOffset + commonOffset,
            RoundedLevelDb(std::sqrt(rms.mMaxMeanSquare)) + rmsOffset + commonOffset,
            RoundedLevelDb(rms.mPeakMax) + peakOffset,
            RoundedLevelDb(LargestTruePeak(rms.mTruePeak)) + peakOffset,
        };
        for (int j = 0; j < 5; ++j) {
            const double v = ClampTo(levels[j], -60.0, 12.0);
            PublishOutput(j, kOutRmsIl + j, v, LevelBar(v));
        }
        const double crest = ClampTo(rms.GetCrestVal_db(), 0.0, 30.0);
        PublishOutput(5, kOutRmsCrest, crest, crest / 30.0);
    } else if (mMeterType == 1) {
        EBUMM6& ebu = *mEbuMeter;
        const double levels[6] = {
            RoundToTenth(ebu.mIntegrator.mIntegratedLufs),  RoundedLoudnessLufs(ebu.mMomentary.mResult),
            RoundedLoudnessLufs(ebu.mMomentary.mMaxResult), RoundedLoudnessLufs(ebu.mShortTerm.mResult),
            RoundedLoudnessLufs(ebu.mShortTerm.mMaxResult),
            LevelDb(LargestTruePeak(ebu.mTruePeak)),  // not rounded
        };
        for (int j = 0; j < 6; ++j) {
            const double v = ClampTo(levels[j], -60.0, 12.0);
            PublishOutput(6 + j, kOutEbuIl + j, v, LevelBar(v));
        }
        const double range = ClampTo(RoundToTenth(ebu.mLra.mRangeLu), 0.0, 60.0);
        PublishOutput(12, kOutEbuLra, range, range / 60.0);
    }
}
