// The processing driver: run-wise dispatch to the active engine, the two refresh counters, the output
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

// Frames the driver hands to an engine at a time: the longest stretch between refresh points is cut into
// runs of at most this many, measured from stack buffers of this size.
constexpr int kRunFrames = 256;

// Read by every missing input channel: a run of silence.
const double kSilentRun[kRunFrames] = {};

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
// running sums until the next reset. The audio itself passes through untouched. (s - s is 0.0 exactly
// for every finite s and NaN otherwise; unlike isfinite it compiles to vector code.)
inline double Measurable(double s) {
    return s - s == 0.0 ? s : 0.0;
}

// How many leading slots the active engine reads under its configuration; the others may point at
// silence. The EBU engine gates slots 3 to 6 itself; the RMS engine reads only its selected slots.
int SlotsRead(int type, int rmsConfig, int ebuConfig) {
    if (type == 0) {
        switch (rmsConfig) {
            case 0:
            case 2:
                return 2;
            case 1:
                return 1;
            case 3:
                return 4;
            default:
                return 6;
        }
    }
    switch (ebuConfig) {
        case 0:
            return 2;
        case 1:
            return 4;
        case 2:
            return 5;
        default:
            return 6;
    }
}

// The read-outs published from each engine's rounded levels, in the order the driver computes them.
constexpr int kRmsLevelParams[5] = {ParamOf(Readout::kRmsIntegrated), ParamOf(Readout::kRmsMomentary),
                                    ParamOf(Readout::kRmsMomentaryMax), ParamOf(Readout::kRmsSamplePeakMax),
                                    ParamOf(Readout::kRmsTruePeakMax)};
constexpr int kEbuLevelParams[6] = {ParamOf(Readout::kEbuIntegrated),   ParamOf(Readout::kEbuMomentary),
                                    ParamOf(Readout::kEbuMomentaryMax), ParamOf(Readout::kEbuShortTerm),
                                    ParamOf(Readout::kEbuShortTermMax), ParamOf(Readout::kEbuTruePeakMax)};
constexpr int kRmsCrestParam = ParamOf(Readout::kRmsCrest);
constexpr int kEbuRangeParam = ParamOf(Readout::kEbuRange);

// Frames until a refresh counter fires: it fires on the sample that takes it to `period` or beyond.
inline int FramesToRefresh(int counter, int period) {
    return period - counter > 1 ? period - counter : 1;
}

}  // namespace

void Quenlix::ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {
    // Denormal filter tails after the audio stops must not slow the audio thread.
    ScopedFlushDenormals flushDenormals;

    ITimeInfo timeInfo;
    GetTime(&timeInfo);
    const bool transportRunning = timeInfo.mTransportIsRunning;

    const double* src[kNumChannels];
    for (int k = 0; k < kNumChannels; ++k) src[k] = (inputs && k < mNumInputs) ? inputs[k] : nullptr;

    const int type = mMeterType;
    const bool measureWindows = !mSync || transportRunning;
    const int rmsConfig = mRmsChannelConfig;
    const int ebuConfig = mEbuChannelConfig;
    const int slotsRead = SlotsRead(type, rmsConfig, ebuConfig);
    RMSMM6& rms = *mRmsMeter;
    EBUMM6& ebu = *mEbuMeter;

    // The block is measured in runs that end at the next refresh point (or earlier), so each refresh
    // sees the engines exactly as after its own sample, as if they were fed one sample at a time.
    double run[kNumChannels][kRunFrames];
    const double* slots[kNumChannels];
    for (int done = 0; done < nFrames;) {
        int n = nFrames - done;
        if (n > kRunFrames) n = kRunFrames;
        const int toDisplay = FramesToRefresh(mDisplayCounter, mDisplayPeriod);
        const int toParams = FramesToRefresh(mParamCounter, mParamPeriod);
        if (n > toDisplay) n = toDisplay;
        if (n > toParams) n = toParams;

        if (type == 0 || type == 1) {
            for (int k = 0; k < kNumChannels; ++k) {
                if (!src[k] || k >= slotsRead) {
                    slots[k] = kSilentRun;
                    continue;
                }
                const double* in = src[k] + done;
                for (int i = 0; i < n; ++i) run[k][i] = Measurable(in[i]);
                slots[k] = run[k];
            }
        }
        // The engine not measuring keeps its true-peak interpolators on the audio, so that after a
        // reset (a type switch, "Sync" starting the measurements on play) it goes on from the audio
        // instead of from a silence that never was.
        if (type == 0) {
            rms.ProcessBlock_M(slots, n, rmsConfig);
            if (measureWindows)
                rms.ProcessBlock(slots, n, 1.0, rmsConfig);
            else
                rms.FollowBlock(slots, n);
            ebu.FollowBlock(slots, n);
        } else if (type == 1) {
            ebu.ProcessBlock_M(slots, n, ebuConfig);
            ebu.ProcessBlock(slots, n, ebuConfig, measureWindows ? 1 : 0);
            rms.FollowBlock(slots, n);
        }
        done += n;

        // Only the run's last frame can reach a refresh point.
        mDisplayCounter += n;
        if (mDisplayCounter >= mDisplayPeriod) {
            mDisplayCounter = 0;
            FeedDisplay();
        }
        mParamCounter += n;
        if (mParamCounter >= mParamPeriod) {
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

void Quenlix::PublishOutput(int paramIdx, double v, double barPosition) {
    GetParam(paramIdx)->Set(v);
    if (mEditor) mEditor->SetControlFromPlug(mOutputControls[paramIdx], barPosition);
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
            PublishOutput(kRmsLevelParams[j], v, LevelBar(v));
        }
        const double crest = ClampTo(rms.GetCrestVal_db(), 0.0, 30.0);
        PublishOutput(kRmsCrestParam, crest, crest / 30.0);
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
            PublishOutput(kEbuLevelParams[j], v, LevelBar(v));
        }
        const double range = ClampTo(RoundToTenth(ebu.mLra.mRangeLu), 0.0, 60.0);
        PublishOutput(kEbuRangeParam, range, range / 60.0);
    }
}
