// A reset in the middle of a programme: every measurement starts again, but the audio goes on. The
// true-peak interpolators and the K-weighting keep their history, so no reading after the reset lies
// above what the uninterrupted programme reads.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr long kTotal = 216000;  // 4.5 s: both windows refill and hop after any of the resets

// A -23 dBFS 1 kHz sine in slots 1 and 2.
double Sample(long n) {
    return testsig::Sine(std::pow(10.0, -23.0 / 20.0), 1000.0, kRate, n);
}

// What is read after the programme (and, when the reset lies inside it, since the reset).
struct Readings {
    double truePeakDb = 0.0;
    double momentaryLufs = 0.0;     // the last momentary value
    double momentaryMaxLufs = 0.0;  // its maximum
    double shortTermLufs = 0.0;
    double rmsDb = 0.0;  // RMS engine: windowed level, its maximum and true peak
    double rmsMaxDb = 0.0;
    double rmsTruePeakDb = 0.0;
};

// Runs the programme through both engines in blocks of kBlock, split at `resetAt` (none when < 0),
// where both engines are reset.
Readings RunProgramme(long resetAt) {
    EBUMM6 ebu;
    RMSMM6 rms;
    EXPECT_TRUE(ebu.Init(kRate));
    EXPECT_TRUE(rms.Init(10.0, 3000.0, 0.75, kRate));
    rms.SetWindow(300.0);
    std::vector<double> left(kBlock), right(kBlock), silent(kBlock, 0.0);
    for (long done = 0; done < kTotal;) {
        long n = kTotal - done < kBlock ? kTotal - done : kBlock;
        if (done < resetAt && resetAt < done + n) n = resetAt - done;
        if (done == resetAt) {
            ebu.Reset();
            rms.Reset();
        }
        for (long i = 0; i < n; ++i) left[i] = right[i] = Sample(done + i);
        const double* slots[6] = {left.data(),   right.data(),  silent.data(),
                                  silent.data(), silent.data(), silent.data()};
        const int frames = static_cast<int>(n);
        ebu.ProcessBlock_M(slots, frames, 0);
        ebu.ProcessBlock(slots, frames, 0, 1);
        rms.ProcessBlock_M(slots, frames, 0);
        rms.ProcessBlock(slots, frames, 1.0, 0);
        done += n;
    }
    Readings r;
    r.truePeakDb = LevelDb(std::fmax(ebu.mTruePeak[0].mTruePeakMax, ebu.mTruePeak[1].mTruePeakMax));
    r.momentaryLufs = LoudnessLufs(ebu.mMomentary.mResult);
    r.momentaryMaxLufs = LoudnessLufs(ebu.mMomentary.mMaxResult);
    r.shortTermLufs = LoudnessLufs(ebu.mShortTerm.mResult);
    r.rmsDb = LevelDb(std::sqrt(rms.mMeanSquare));
    r.rmsMaxDb = LevelDb(std::sqrt(rms.mMaxMeanSquare));
    r.rmsTruePeakDb = LevelDb(std::fmax(rms.mTruePeak[0].mTruePeakMax, rms.mTruePeak[1].mTruePeakMax));
    return r;
}

TEST(MidProgrammeReset, ReadsWhatTheUninterruptedProgrammeReads) {
    const Readings whole = RunProgramme(-1);
    ASSERT_NEAR(whole.truePeakDb, -22.98, 0.01);
    // Inside a 100 ms hop, on the momentary hops (the first result at 19200, then every 4801), at block
    // edges, at the edges of the interpolators' 128-frame runs and a frame past them.
    const long offsets[] = {1234,     19200,        24001,     28802,         30000,
                            512 * 40, 512 * 41 + 1, 128 * 333, 128 * 334 - 1, 48000 + 37};
    for (long at : offsets) {
        const Readings r = RunProgramme(at);
        EXPECT_NEAR(r.truePeakDb, whole.truePeakDb, 0.02) << "reset at " << at;
        EXPECT_NEAR(r.rmsTruePeakDb, whole.rmsTruePeakDb, 0.02) << "reset at " << at;
        // Windows full again: the same level as without the reset, and no transient in the maxima.
        EXPECT_NEAR(r.momentaryLufs, whole.momentaryLufs, 0.001) << "reset at " << at;
        // Since the reset the maximum is the steady level: the filters showed no settling.
        EXPECT_NEAR(r.momentaryMaxLufs, r.momentaryLufs, 0.0003) << "reset at " << at;
        EXPECT_NEAR(r.shortTermLufs, whole.shortTermLufs, 0.001) << "reset at " << at;
        EXPECT_NEAR(r.rmsDb, whole.rmsDb, 0.001) << "reset at " << at;
        EXPECT_LE(r.rmsMaxDb, whole.rmsMaxDb + 0.001) << "reset at " << at;
    }
}

// What a reset clears: every measurement and its validity, in both engines.
TEST(MidProgrammeReset, ClearsEveryMeasurementAndItsValidity) {
    EBUMM6 ebu;
    RMSMM6 rms;
    ASSERT_TRUE(ebu.Init(kRate));
    ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, kRate));
    for (long n = 0; n < 4 * 48000; ++n) {
        const double x = Sample(n) * 8.0;
        ProcessFrame_M(ebu, x, x, 0.0, 0.0, 0.0, 0.0, 0);
        ProcessFrame(ebu, x, x, 0.0, 0.0, 0.0, 0.0, 0, 1);
        ProcessFrame_M(rms, x, x, 0.0, 0.0, 0.0, 0.0, 1.0, 0);
        ProcessFrame(rms, x, x, 0.0, 0.0, 0.0, 0.0, 1.0, 0);
    }
    ASSERT_GT(ebu.mLra.mCount, 0);
    ebu.Reset();
    rms.Reset();
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(ebu.mTruePeak[k].mTruePeakMax, 0.0);
        EXPECT_EQ(ebu.mFollower[k].mHeld, 0.0);
        EXPECT_EQ(rms.mTruePeak[k].mTruePeakMax, 0.0);
        EXPECT_EQ(rms.mFollower[k].mHeld, 0.0);
    }
    for (const RMS_MS* w : {&ebu.mMomentary, &ebu.mShortTerm}) {
        EXPECT_EQ(w->mFull, 0);
        EXPECT_EQ(w->mResult, 0.0);
        EXPECT_EQ(w->mMaxResult, 0.0);
    }
    EXPECT_EQ(ebu.mIntegrator.mCount, 0);
    EXPECT_EQ(ebu.mLra.mCount, 0);
    EXPECT_EQ(rms.mFull, 0);
    EXPECT_EQ(rms.mIntegratedCount, 0);
    EXPECT_EQ(rms.mPeakMax, 0.0);
    EXPECT_EQ(rms.mMaxMeanSquare, 0.0);

    // One more sample: the windows start from empty (a single sample's power, not a window's worth).
    const double x = Sample(4 * 48000) * 8.0;
    ProcessFrame(rms, x, x, 0.0, 0.0, 0.0, 0.0, 1.0, 0);
    EXPECT_EQ(rms.mFull, 0);
    EXPECT_EQ(rms.mIntegratedCount, 1);
}

// A non-finite sample poisons an IIR filter for good: a reset is what restores correct measuring, so
// there (and only there) the history is cleared.
TEST(MidProgrammeReset, ClearsOnlyAHistoryPoisonedByANonFiniteSample) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        EBUMM6 ebu;
        ASSERT_TRUE(ebu.Init(kRate));
        for (long n = 0; n < 1000; ++n) {
            const double x = n == 500 ? bad : Sample(n);
            ProcessFrame_M(ebu, x, Sample(n), 0.0, 0.0, 0.0, 0.0, 0);
            ProcessFrame(ebu, x, Sample(n), 0.0, 0.0, 0.0, 0.0, 0, 1);
        }
        const KFilter rightPre = ebu.mPreFilter[1];
        ebu.Reset();
        EXPECT_EQ(ebu.mPreFilter[0].mY1, 0.0) << bad;  // poisoned: cleared
        EXPECT_EQ(ebu.mRlbFilter[0].mY1, 0.0) << bad;
        EXPECT_EQ(ebu.mPreFilter[1].mY1, rightPre.mY1) << bad;  // finite: goes on
        for (long n = 1000; n < 1000 + 19200; ++n) {
            ProcessFrame_M(ebu, Sample(n), Sample(n), 0.0, 0.0, 0.0, 0.0, 0);
            ProcessFrame(ebu, Sample(n), Sample(n), 0.0, 0.0, 0.0, 0.0, 0, 1);
        }
        EXPECT_NEAR(LoudnessLufs(ebu.mMomentary.mResult), -23.0, 0.05) << bad;
        EXPECT_NEAR(LevelDb(ebu.mTruePeak[0].mTruePeakMax), -22.98, 0.02) << bad;
    }
}

// The engine not shown keeps its interpolators on the audio: measured again after a reset, it reads
// the programme's true peak, not a step from silence or from audio long gone.
TEST(MidProgrammeReset, AnEngineThatOnlyFollowedTheAudioGoesOnFromIt) {
    for (long switchAt : {1000L, 24000L + 3, 512L * 50}) {
        EBUMM6 ebu;
        RMSMM6 rms;
        ASSERT_TRUE(ebu.Init(kRate));
        ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, kRate));
        std::vector<double> left(kBlock), silent(kBlock, 0.0);
        // Old audio first, then the followed stretch, then measuring from the switch on.
        for (long done = 0; done < 48000;) {
            const long n = std::min<long>(kBlock, (done < switchAt ? switchAt : 48000) - done);
            for (long i = 0; i < n; ++i) left[i] = Sample(done + i) * (done < 300 ? 4.0 : 1.0);
            const double* slots[6] = {left.data(),   left.data(),   silent.data(),
                                      silent.data(), silent.data(), silent.data()};
            if (done < switchAt) {
                ebu.FollowBlock(slots, static_cast<int>(n));
                rms.FollowBlock(slots, static_cast<int>(n));
            } else {
                if (done == switchAt) {
                    ebu.Reset();
                    rms.Reset();
                }
                ebu.ProcessBlock_M(slots, static_cast<int>(n), 0);
                ebu.ProcessBlock(slots, static_cast<int>(n), 0, 1);
                rms.ProcessBlock(slots, static_cast<int>(n), 1.0, 0);
            }
            done += n;
        }
        EXPECT_NEAR(LevelDb(ebu.mTruePeak[0].mTruePeakMax), -22.98, 0.02) << switchAt;
        EXPECT_NEAR(LevelDb(rms.mTruePeak[1].mTruePeakMax), -22.98, 0.02) << switchAt;
        EXPECT_NEAR(LoudnessLufs(ebu.mMomentary.mResult), -23.0, 0.05) << switchAt;
    }
}

// Slots a configuration leaves out keep following what they are handed, so a configuration that takes
// them in later (always with a reset) goes on from that rather than from stale audio.
TEST(MidProgrammeReset, SlotsOutsideTheConfigurationFollowTheirInput) {
    EBUMM6 ebu;
    RMSMM6 rms;
    ASSERT_TRUE(ebu.Init(kRate));
    ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, kRate));
    for (long n = 0; n < 48012; ++n) {                         // up to a crest of the sine
        const double x = Sample(n) * (n < 24000 ? 4.0 : 1.0);  // loud first, then the programme
        ProcessFrame_M(ebu, x, x, x, x, x, x, n < 24000 ? 3 : 0);
        ProcessFrame(rms, x, x, x, x, x, x, 1.0, n < 24000 ? 4 : 0);
    }
    ebu.Reset();
    rms.Reset();
    for (long n = 48012; n < 49012; ++n) {
        const double x = Sample(n);
        ProcessFrame_M(ebu, x, x, x, x, x, x, 3);
        ProcessFrame(rms, x, x, x, x, x, x, 1.0, 4);
    }
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(LevelDb(ebu.mTruePeak[k].mTruePeakMax), -22.98, 0.02) << k;
        EXPECT_NEAR(LevelDb(rms.mTruePeak[k].mTruePeakMax), -22.98, 0.02) << k;
    }
}

}  // namespace

namespace {

// Everything of the EBU engine a reading or the next sample depends on.
std::vector<double> EbuState(const EBUMM6& e) {
    std::vector<double> v;
    for (int k = 0; k < 6; ++k) {
        v.insert(v.end(), {e.mTruePeak[k].mTruePeakMax, e.mTruePeak[k].mPeak, e.mFollower[k].mHeld,
                           e.mFollower[k].mFollower});
        for (const KFilter* f : {&e.mPreFilter[k], &e.mRlbFilter[k]})
            v.insert(v.end(), {f->mX1, f->mX2, f->mY1, f->mY2});
    }
    for (const RMS_MS* w : {&e.mMomentary, &e.mShortTerm})
        v.insert(v.end(), {w->mResult, w->mMaxResult, double(w->mFull)});
    v.insert(v.end(), {double(e.mIntegrator.mCount), e.mIntegrator.mIntegratedLufs});
    return v;
}

std::vector<double> RmsState(const RMSMM6& r) {
    std::vector<double> v = {r.mMeanSquare, r.mMaxMeanSquare, r.mIntegratedMeanSquare, r.mPeakMax,
                             double(r.mFull)};
    for (int k = 0; k < 6; ++k)
        v.insert(v.end(), {r.mTruePeak[k].mTruePeakMax, r.mTruePeak[k].mPeak, r.mFollower[k].mHeld});
    return v;
}

}  // namespace

// The block paths and the per-sample paths give the same bits through resets, configuration changes
// and switched-off true peaks, however the runs fall: the interpolators follow alike whether they are
// handed one sample or a block.
TEST(MidProgrammeReset, BlockAndPerSamplePathsAgreeThroughResets) {
    EBUMM6 ebuBlock, ebuSample;
    RMSMM6 rmsBlock, rmsSample;
    for (EBUMM6* e : {&ebuBlock, &ebuSample}) ASSERT_TRUE(e->Init(kRate));
    for (RMSMM6* r : {&rmsBlock, &rmsSample}) ASSERT_TRUE(r->Init(10.0, 3000.0, 0.75, kRate));
    std::vector<std::vector<double>> audio(6, std::vector<double>(4000));
    long done = 0;
    const int runs[] = {1, 7, 300, 129, 12, 13, 14, 1000, 3, 128, 500};
    for (int r = 0; r < 60; ++r) {
        const int n = runs[r % 11];
        for (int k = 0; k < 6; ++k)
            for (int i = 0; i < n; ++i)
                audio[k][i] = Sample(done + i) * (1.0 + 0.3 * k) * (r % 5 == 1 ? 3.0 : 1.0);
        const int ebuConfig = (r / 4) % 4;
        const int rmsConfig = (r / 3) % 5;
        const double enable = r % 7 == 2 ? 0.0 : 1.0;
        if (r % 3 == 0) {  // every configuration change comes with a reset, as in the plug-in
            for (EBUMM6* e : {&ebuBlock, &ebuSample}) e->Reset();
            for (RMSMM6* m : {&rmsBlock, &rmsSample}) m->Reset();
        }
        const double* slots[6];
        for (int k = 0; k < 6; ++k) slots[k] = audio[k].data();
        ebuBlock.ProcessBlock_M(slots, n, ebuConfig);
        ebuBlock.ProcessBlock(slots, n, ebuConfig, 1);
        rmsBlock.ProcessBlock_M(slots, n, rmsConfig);
        rmsBlock.ProcessBlock(slots, n, enable, rmsConfig);
        for (int i = 0; i < n; ++i) {
            double s[6];
            for (int k = 0; k < 6; ++k) s[k] = audio[k][i];
            ProcessFrame_M(ebuSample, s[0], s[1], s[2], s[3], s[4], s[5], ebuConfig);
            ProcessFrame(ebuSample, s[0], s[1], s[2], s[3], s[4], s[5], ebuConfig, 1);
            ProcessFrame_M(rmsSample, s[0], s[1], s[2], s[3], s[4], s[5], enable, rmsConfig);
            ProcessFrame(rmsSample, s[0], s[1], s[2], s[3], s[4], s[5], enable, rmsConfig);
        }
        done += n;
        ASSERT_EQ(EbuState(ebuBlock), EbuState(ebuSample)) << "run " << r;
        ASSERT_EQ(RmsState(rmsBlock), RmsState(rmsSample)) << "run " << r;
    }
}
