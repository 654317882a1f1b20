// EBUMM6 with its windows (RMS_MS) and integrator (RMSInt).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/RMSInt.h"
#include "meters/RMS_MS.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {

class LoudnessEngine : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(e.Init(48000.0)); }

    // Runs n frames of a 997 Hz sine of amplitude amp into the slots flagged in `slots` (bit k = slot
    // k + 1), continuing the sample clock in mClock.
    void Run(long n, double amp, unsigned slots, int config, int integrate = 1) {
        for (long i = 0; i < n; ++i, ++mClock) {
            const double x = testsig::Sine(amp, 997.0, e.SampleRate(), mClock);
            double s[6];
            for (int k = 0; k < 6; ++k) s[k] = (slots >> k) & 1u ? x : 0.0;
            ProcessFrame_M(e, s[0], s[1], s[2], s[3], s[4], s[5], config);
            ProcessFrame(e, s[0], s[1], s[2], s[3], s[4], s[5], config, integrate);
        }
    }

    double MaxTruePeak() const {
        double m = 0.0;
        for (const ISPD_ITU& d : e.mTruePeak) m = std::max(m, d.mTruePeakMax);
        return m;
    }

    EBUMM6 e;
    long mClock = 0;
};

TEST_F(LoudnessEngine, FirstAndNextResultsComeAtTheDocumentedSamples) {
    std::vector<long> momentary, shortTerm;
    for (long n = 1; n <= 192001; ++n) {
        const double x = testsig::Sine(0.1, 997.0, 48000.0, n);
        ProcessFrame_M(e, x, x, 0, 0, 0, 0, 0);
        ProcessFrame(e, x, x, 0, 0, 0, 0, 0, 1);
        if (e.mMomentary.mReady) momentary.push_back(n);
        if (e.mShortTerm.mReady) shortTerm.push_back(n);
        if (n == 19199) {
            EXPECT_EQ(e.mMomentary.mFull, 0);
        }
    }
    ASSERT_GE(momentary.size(), 2u);
    EXPECT_EQ(momentary[0], 19200);
    EXPECT_EQ(momentary[1], 24001);
    EXPECT_EQ(momentary[2], 28802);
    ASSERT_EQ(shortTerm.size(), 2u);
    EXPECT_EQ(shortTerm[0], 144000);
    EXPECT_EQ(shortTerm[1], 192001);
    EXPECT_EQ(e.mIntegrator.mCount, static_cast<int>(momentary.size()));
    EXPECT_EQ(e.mLra.mCount, 2);
}

TEST_F(LoudnessEngine, WindowLengthsFollowTheRate) {
    EXPECT_EQ(e.mMomentary.WindowLength(), 19200);
    EXPECT_EQ(e.mShortTerm.WindowLength(), 144000);
    ASSERT_TRUE(e.Init(44100.0));
    EXPECT_EQ(e.mMomentary.WindowLength(), 17640);
    EXPECT_EQ(e.mShortTerm.WindowLength(), 132300);
    e.Reset();
    EXPECT_EQ(e.mMomentary.WindowLength(), 17640);
}

TEST_F(LoudnessEngine, FullScale997HzSineReadsMinus3LufsInOneSlotAnd0InTwo) {
    Run(19200, 1.0, 0x01, 0);
    ASSERT_EQ(e.mMomentary.mFull, 1);
    EXPECT_NEAR(LoudnessLufs(e.mMomentary.mResult), -3.01, 0.01);

    e.Reset();
    mClock = 0;
    Run(19200, 1.0, 0x03, 0);
    EXPECT_NEAR(LoudnessLufs(e.mMomentary.mResult), 0.0, 0.01);
}

TEST_F(LoudnessEngine, SurroundSlotsAreWeighted) {
    // 4.1: slots 4 and 5 count 1.41 times; 5.1: slots 5 and 6 do.
    const double oneSlot = [&] {
        Run(19200, 0.5, 0x01, 3);
        return e.mMomentary.mResult;
    }();
    // Each case a new programme from silence (Init): a reset would let the filters ring on with the
    // last case's audio.
    for (auto c : {std::make_pair(2, 0x08u), std::make_pair(2, 0x10u), std::make_pair(3, 0x10u),
                   std::make_pair(3, 0x20u)}) {
        ASSERT_TRUE(e.Init(48000.0));
        mClock = 0;
        Run(19200, 0.5, c.second, c.first);
        EXPECT_NEAR(e.mMomentary.mResult, 1.41 * oneSlot, 1e-12 * oneSlot) << c.first << " " << c.second;
    }
    ASSERT_TRUE(e.Init(48000.0));
    mClock = 0;
    Run(19200, 0.5, 0x20, 2);  // slot 6 is silent in 4.1
    EXPECT_EQ(e.mMomentary.mResult, 0.0);
}

TEST_F(LoudnessEngine, LfeSlotOfFivePointOneCountsForTruePeakNotLoudness) {
    Run(19200, 0.5, 0x08, 3);
    EXPECT_GT(e.mTruePeak[3].mTruePeakMax, 0.49);
    EXPECT_GT(e.mFollower[3].mHeld, 0.49);
    EXPECT_GT(e.mFollower[3].mFollower, 0.0);
    EXPECT_EQ(e.mMomentary.mFull, 1);
    EXPECT_EQ(e.mMomentary.mResult, 0.0);
    EXPECT_EQ(LoudnessLufs(e.mMomentary.mResult), -144.0);
}

TEST_F(LoudnessEngine, StereoConfigIgnoresSlotsThreeToSix) {
    Run(19200, 1.0, 0x3C, 0);
    EXPECT_EQ(e.mMomentary.mResult, 0.0);
    EXPECT_EQ(MaxTruePeak(), 0.0);
    for (int k = 2; k < 6; ++k) EXPECT_EQ(e.mFollower[k].mHeld, 0.0);

    // The true-peak section follows the same stepping: 4.0 adds slots 3-4, 4.1 slot 5, 5.1 slot 6.
    for (int config = 1; config <= 3; ++config) {
        e.Reset();
        Run(200, 1.0, 0x3C, config);
        for (int k = 2; k < 6; ++k)
            EXPECT_EQ(e.mTruePeak[k].mTruePeakMax > 0.0, k <= config + 2) << config << " " << k;
    }
}

TEST_F(LoudnessEngine, NoIntegrationFreezesIntegratedLoudnessAndRangeButNotTheWindows) {
    Run(48000 * 5, testsig::AmplitudeForLufs(-20.0), 0x01, 0);
    const int count = e.mIntegrator.mCount;
    const double il = e.mIntegrator.mIntegratedLufs;
    const int lraCount = e.mLra.mCount;
    const double lra = e.mLra.mRangeLu;
    ASSERT_GT(count, 0);
    ASSERT_GT(lraCount, 0);

    Run(48000 * 5, testsig::AmplitudeForLufs(-10.0), 0x01, 0, 0);
    EXPECT_EQ(e.mIntegrator.mCount, count);
    EXPECT_EQ(e.mIntegrator.mIntegratedLufs, il);
    EXPECT_EQ(e.mLra.mCount, lraCount);
    EXPECT_EQ(e.mLra.mRangeLu, lra);
    EXPECT_NEAR(LoudnessLufs(e.mMomentary.mResult), -10.0, 0.05);
    EXPECT_NEAR(LoudnessLufs(e.mShortTerm.mResult), -10.0, 0.05);
    EXPECT_NEAR(LoudnessLufs(e.mMomentary.mMaxResult), -10.0, 0.05);

    Run(48000 * 2, testsig::AmplitudeForLufs(-10.0), 0x01, 0, 1);
    EXPECT_GT(e.mIntegrator.mCount, count);
    EXPECT_GT(e.mIntegrator.mIntegratedLufs, il + 1.0);  // resumes on top of the stored blocks
    EXPECT_GT(e.mLra.mCount, lraCount);
}

TEST_F(LoudnessEngine, LoudThenQuietPassageIntegratesCloseToTheLoudPart) {
    Run(48000 * 20, testsig::AmplitudeForLufs(-20.0), 0x01, 0);
    EXPECT_NEAR(e.mIntegrator.mIntegratedLufs, -20.0, 0.02);
    Run(48000 * 20, testsig::AmplitudeForLufs(-40.0), 0x01, 0);
    EXPECT_LT(e.mIntegrator.mIntegratedLufs, -20.0);
    EXPECT_GT(e.mIntegrator.mIntegratedLufs, -20.6);
}

TEST_F(LoudnessEngine, ProgrammeBelowAbsoluteGateNeverIntegrates) {
    Run(48000 * 3, testsig::AmplitudeForLufs(-75.0), 0x03, 0);
    EXPECT_EQ(e.mMomentary.mFull, 1);
    EXPECT_EQ(e.mIntegrator.mCount, 0);
    EXPECT_EQ(e.mIntegrator.mIntegratedLufs, -141.0);
    EXPECT_EQ(e.mLra.mCount, 0);
}

TEST_F(LoudnessEngine, NonFiniteSamplesAreHarmlessAndResetRestoresExactMeasuring) {
    EBUMM6 fresh;
    ASSERT_TRUE(fresh.Init(48000.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Run(30000, 0.5, 0x3F, 3);
    // The engine to match hears slot 2 alone: slot 2's audio stays finite and goes on through the
    // reset, while the poisoned slots start again from silence.
    for (long n = 0; n < 30000; ++n) {
        const double x = testsig::Sine(0.5, 997.0, 48000.0, n);
        ProcessFrame_M(fresh, 0.0, x, 0.0, 0.0, 0.0, 0.0, 3);
        ProcessFrame(fresh, 0.0, x, 0.0, 0.0, 0.0, 0.0, 3, 1);
    }
    for (double bad : {nan, inf, -inf})
        for (int i = 0; i < 30000; ++i) {
            ProcessFrame_M(e, bad, 0.1, bad, bad, bad, bad, 3);
            ProcessFrame(e, bad, 0.1, bad, bad, bad, bad, 3, 1);
            ProcessFrame_M(fresh, 0.0, 0.1, 0.0, 0.0, 0.0, 0.0, 3);
            ProcessFrame(fresh, 0.0, 0.1, 0.0, 0.0, 0.0, 0.0, 3, 1);
        }
    e.Reset();
    fresh.Reset();
    for (long n = 0; n < 25000; ++n) {
        const double x = testsig::Sine(0.3, 997.0, 48000.0, n);
        ProcessFrame_M(e, x, -x, x, 0, x, x, 3);
        ProcessFrame(e, x, -x, x, 0, x, x, 3, 1);
        ProcessFrame_M(fresh, x, -x, x, 0, x, x, 3);
        ProcessFrame(fresh, x, -x, x, 0, x, x, 3, 1);
    }
    EXPECT_EQ(e.mMomentary.mResult, fresh.mMomentary.mResult);
    EXPECT_EQ(e.mMomentary.mMaxResult, fresh.mMomentary.mMaxResult);
    EXPECT_EQ(e.mIntegrator.mIntegratedLufs, fresh.mIntegrator.mIntegratedLufs);
    EXPECT_EQ(e.mIntegrator.mCount, fresh.mIntegrator.mCount);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(e.mTruePeak[k].mTruePeakMax, fresh.mTruePeak[k].mTruePeakMax);
        EXPECT_EQ(e.mFollower[k].mFollower, fresh.mFollower[k].mFollower);
    }
}

TEST(LoudnessEngineSetup, BadRatesGiveAWorkingEngine) {
    for (double fs :
         {std::numeric_limits<double>::quiet_NaN(), -48000.0, 0.0, std::numeric_limits<double>::infinity()}) {
        EBUMM6 e;
        EXPECT_TRUE(e.Init(fs));
        EXPECT_EQ(e.SampleRate(), 44100.0);
        EXPECT_EQ(e.mMomentary.WindowLength(), 17640);
    }
    EBUMM6 tiny;
    EXPECT_TRUE(tiny.Init(1.0));  // windows of at least one sample
    for (int i = 0; i < 10; ++i) {
        ProcessFrame_M(tiny, 0.5, 0.5, 0, 0, 0, 0, 0);
        ProcessFrame(tiny, 0.5, 0.5, 0, 0, 0, 0, 0, 1);
    }
    EBUMM6 never;  // processing before Init measures nothing and does not crash
    ProcessFrame_M(never, 0.5, 0.5, 0, 0, 0, 0, 0);
    ProcessFrame(never, 0.5, 0.5, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(never.mMomentary.mFull, 0);
}

class GatedIntegrator : public ::testing::Test {
  protected:
    static double MeanSquareFor(double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); }
    RMSInt integ;
};

TEST_F(GatedIntegrator, RelativeGateDropsBlocksTenLuBelowTheAbsoluteGatedLoudness) {
    ASSERT_TRUE(integ.Init());
    for (int i = 0; i < 10; ++i) integ.Process(MeanSquareFor(-20.0));
    for (int i = 0; i < 10; ++i) integ.Process(MeanSquareFor(-40.0));
    EXPECT_EQ(integ.mCount, 20);
    EXPECT_NEAR(integ.mIntegratedLufs, -20.0, 1e-9);
    integ.Process(MeanSquareFor(-75.0));  // below the absolute gate: not stored
    EXPECT_EQ(integ.mCount, 20);
    integ.Process(MeanSquareFor(-69.999999));  // exactly at or above the gate counts
    EXPECT_EQ(integ.mCount, 21);
}

TEST_F(GatedIntegrator, MeasurementGoesOnPastTheExactStore) {
    ASSERT_TRUE(integ.Init(50));
    for (int i = 0; i < 50; ++i) integ.Process(MeanSquareFor(-20.0));
    EXPECT_EQ(integ.mCount, 50);
    EXPECT_NEAR(integ.mIntegratedLufs, -20.0, 1e-9);
    integ.Process(MeanSquareFor(-90.0));  // a gated-out block changes nothing
    EXPECT_NEAR(integ.mIntegratedLufs, -20.0, 1e-9);
    for (int i = 0; i < 50; ++i) integ.Process(MeanSquareFor(-25.0));
    EXPECT_EQ(integ.mCount, 100);
    // Both halves pass the relative gate: the mean of all 100 blocks, not of the latest ones.
    const double all = (MeanSquareFor(-20.0) + MeanSquareFor(-25.0)) / 2.0;
    EXPECT_NEAR(integ.mIntegratedLufs, LoudnessLufs(all), 1e-9);
}

TEST_F(GatedIntegrator, InfiniteBlockDoesNotBreakResetOrIndexing) {
    ASSERT_TRUE(integ.Init(8));
    integ.Process(std::numeric_limits<double>::infinity());
    for (int i = 0; i < 20; ++i) integ.Process(std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < 20; ++i) integ.Process(MeanSquareFor(-23.0));
    integ.Reset();
    EXPECT_EQ(integ.mIntegratedLufs, -141.0);
    integ.Process(MeanSquareFor(-23.0));
    EXPECT_NEAR(integ.mIntegratedLufs, -23.0, 1e-9);
}

TEST(SlidingWindow, ClampsTheSumAtZeroAndReportsEveryHop) {
    RMS_MS w;
    ASSERT_TRUE(w.Init(10, 0.75));
    int results = 0;
    for (int n = 1; n <= 40; ++n) {
        const int r = w.Process(n <= 10 ? 1.0 : 0.0, 0, 0, 0, 0, 0, 0);
        EXPECT_EQ(r, w.mReady);
        if (r) {
            ++results;
            EXPECT_GE(w.mResult, 0.0);
            EXPECT_TRUE(n == 10 || n == 13 || n == 16 || n == 19 || n == 22 || n == 25 || n == 28 ||
                        n == 31 || n == 34 || n == 37 || n == 40)
                << n;
        }
    }
    EXPECT_EQ(results, 11);
    EXPECT_EQ(w.mResult, 0.0);
    EXPECT_EQ(w.mMaxResult, 1.0);
}

}  // namespace
