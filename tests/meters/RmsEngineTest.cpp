// RMSMM6: windowed and integrated RMS, peaks, crest factor.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "common/Levels.h"
#include "meters/RMSMM6.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {

double RoundedDb(double magnitude) {
    const double v = magnitude > 6.309e-08 ? LevelDb(magnitude) * 10 + 0.5 : -1439.5;
    return std::floor(v) / 10;
}

class RmsEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(e.Init(10.0, 3000.0, 0.75, 48000.0));
        e.SetWindow(300.0);
    }

    // n frames of a 997 Hz sine of amplitude amp into the slots flagged in `slots` (bit k = slot k+1).
    void Run(long n, double amp, unsigned slots, int config, double enable = 1.0) {
        for (long i = 0; i < n; ++i, ++mClock) {
            const double x = testsig::Sine(amp, 997.0, e.mFs, mClock);
            double s[6];
            for (int k = 0; k < 6; ++k) s[k] = (slots >> k) & 1u ? x : 0.0;
            ProcessFrame_M(e, s[0], s[1], s[2], s[3], s[4], s[5], enable, config);
            ProcessFrame(e, s[0], s[1], s[2], s[3], s[4], s[5], enable, config);
        }
    }

    RMSMM6 e;
    long mClock = 0;
};

TEST_F(RmsEngine, FullScaleSineReadsMinus3InOneSlotAnd0InTwo) {
    Run(14400, 1.0, 0x01, 1);
    ASSERT_EQ(e.mFull, 1);
    EXPECT_NEAR(e.mMeanSquare, 0.5, 2e-4);
    EXPECT_EQ(RoundedDb(std::sqrt(e.mMeanSquare)), -3.0);
    EXPECT_EQ(RoundedDb(std::sqrt(e.mMeanSquare)) + 3.0, 0.0);  // "+3dB" mode adds the RMS offset

    e.Reset();
    Run(14400, 1.0, 0x03, 0);
    EXPECT_NEAR(e.mMeanSquare, 1.0, 4e-4);
    EXPECT_EQ(RoundedDb(std::sqrt(e.mMeanSquare)), 0.0);
}

TEST_F(RmsEngine, ChannelConfigSelectsTheMeasuredSlots) {
    // Right only: a signal in slot 1 changes nothing.
    Run(20000, 1.0, 0x01, 2);
    EXPECT_EQ(e.mMeanSquare, 0.0);
    EXPECT_EQ(e.mPeakMax, 0.0);
    EXPECT_EQ(e.mTruePeak[0].mTruePeakMax, 0.0);
    EXPECT_EQ(e.mFollower[0].mHeld, 0.0);

    const struct {
        int config;
        unsigned selected;
    } cases[] = {{0, 0x03}, {1, 0x01}, {2, 0x02}, {3, 0x0F}, {4, 0x3F}, {5, 0x00}, {-1, 0x00}};
    for (const auto& c : cases) {
        e.Reset();
        for (int k = 0; k < 6; ++k) {
            // slot k alone at amplitude 0.5: one window later it is measured iff selected
            e.Reset();
            Run(14400, 0.5, 1u << k, c.config);
            const bool selected = (c.selected >> k) & 1u;
            EXPECT_EQ(e.mMeanSquare > 0.1, selected) << c.config << " slot " << k + 1;
            EXPECT_EQ(e.mPeakMax > 0.4, selected) << c.config << " slot " << k + 1;
            EXPECT_EQ(e.mTruePeak[k].mTruePeakMax > 0.4, selected) << c.config << " slot " << k + 1;
            EXPECT_EQ(e.mFollower[k].mHeld > 0.4, selected) << c.config << " slot " << k + 1;
        }
    }
}

TEST_F(RmsEngine, PowersOfSelectedSlotsAddWithoutWeighting) {
    Run(14400, 0.5, 0x3F, 4);
    const double six = e.mMeanSquare;
    e.Reset();
    mClock = 0;
    Run(14400, 0.5, 0x01, 4);
    EXPECT_NEAR(six, 6.0 * e.mMeanSquare, 1e-12);
}

TEST_F(RmsEngine, ResultsComeAtWindowLengthThenEveryQuarterWindowPlusOne) {
    EXPECT_EQ(e.mWindowLength, 14400);
    std::vector<long> at;
    for (long n = 1; n <= 21602; ++n)
        if (ProcessFrame(e, 0.1, 0.1, 0, 0, 0, 0, 1.0, 0)) at.push_back(n);
    ASSERT_EQ(at.size(), 3u);
    EXPECT_EQ(at[0], 14400);
    EXPECT_EQ(at[1], 18001);
    EXPECT_EQ(at[2], 21602);

    RMSMM6 r;
    ASSERT_TRUE(r.Init(10.0, 3000.0, 0.75, 44100.0));
    EXPECT_EQ(r.mWindowLength, 441);
    at.clear();
    for (long n = 1; n <= 441 + 3 * 111; ++n)
        if (ProcessFrame(r, 0.1, 0.1, 0, 0, 0, 0, 1.0, 0)) at.push_back(n);
    EXPECT_EQ(at, (std::vector<long>{441, 552, 663, 774}));
}

TEST_F(RmsEngine, IntegratedMeanIsPublishedOnlyOnceTheWindowIsFull) {
    for (int n = 1; n < 14400; ++n) ProcessFrame(e, 1.0, 0, 0, 0, 0, 0, 1.0, 1);
    EXPECT_EQ(e.mIntegratedMeanSquare, 0.0);
    EXPECT_EQ(e.mIntegratedCount, 14399);
    ProcessFrame(e, 0.0, 0, 0, 0, 0, 0, 1.0, 1);
    EXPECT_EQ(e.mIntegratedMeanSquare, 14399.0 / 14400.0);
}

TEST_F(RmsEngine, SetWindowIgnoresOutOfRangeEqualAndNanRequestsWithoutReset) {
    Run(20000, 0.5, 0x01, 1);
    const double peak = e.mPeakMax;
    ASSERT_GT(peak, 0.0);
    for (double ms : {5.0, 4000.0, 300.0, 9.999, 3000.0001, std::numeric_limits<double>::quiet_NaN(),
                      std::numeric_limits<double>::infinity()}) {
        e.SetWindow(ms);
        EXPECT_EQ(e.mWindowMs, 300.0) << ms;
        EXPECT_EQ(e.mWindowLength, 14400) << ms;
        EXPECT_EQ(e.mPeakMax, peak) << ms;
    }
    e.SetWindow(3000.0);  // limits are inclusive; a new window resets
    EXPECT_EQ(e.mWindowLength, 144000);
    EXPECT_EQ(e.mPeakMax, 0.0);
    e.SetWindow(10.0);
    EXPECT_EQ(e.mWindowLength, 480);
}

TEST_F(RmsEngine, LongestWindowFitsTheRingAtAwkwardRates) {
    for (double fs : {44100.0, 44099.99, 22050.5, 192000.0, 11025.0}) {
        RMSMM6 r;
        ASSERT_TRUE(r.Init(10.0, 3000.0, 0.75, fs));
        r.SetWindow(3000.0);
        EXPECT_LE(r.mWindowLength, r.Capacity()) << fs;
        r.SetWindow(2999.99);
        EXPECT_LE(r.mWindowLength, r.Capacity()) << fs;
        for (int n = 0; n < r.Capacity() + 10; ++n) ProcessFrame(r, 0.1, 0, 0, 0, 0, 0, 0.0, 1);
        EXPECT_EQ(r.mFull, 1);
    }
}

TEST_F(RmsEngine, CrestFactorOfAFullScaleSine) {
    Run(14400 + 100, 1.0, 0x01, 1);
    EXPECT_EQ(e.GetCrestVal_db(), 3.0);
    EXPECT_EQ(e.mIntegratedReadoutDb, -3.0);
    EXPECT_EQ(e.mPeakMaxReadoutDb, 0.0);
    e.mRmsOffsetDb = 3.0;
    EXPECT_EQ(e.GetCrestVal_db(), 0.0);
}

TEST_F(RmsEngine, CrestFactorOfSilenceIsMinus144) {
    Run(14400, 0.0, 0x01, 1);
    EXPECT_EQ(e.GetCrestVal_db(), -144.0);
    EXPECT_EQ(e.mIntegratedReadoutDb, -144.0);
    e.mRmsOffsetDb = 3.0;  // -141 is still below -140
    EXPECT_EQ(e.GetCrestVal_db(), -144.0);
}

TEST_F(RmsEngine, DisabledTruePeakStandsStillWhileEverythingElseRuns) {
    Run(2000, 0.3, 0x01, 1);
    const double tp = e.mTruePeak[0].mTruePeakMax;
    ASSERT_GT(tp, 0.29);
    Run(20000, 0.9, 0x01, 1, 0.0);
    EXPECT_EQ(e.mTruePeak[0].mTruePeakMax, tp);
    EXPECT_GT(e.mPeakMax, 0.89);
    EXPECT_GT(e.mFollower[0].mHeld, 0.89);
    EXPECT_EQ(e.mFull, 1);
}

TEST_F(RmsEngine, ResetKeepsWindowOverlapAndOffsets) {
    e.mRmsOffsetDb = 3.0;
    Run(20000, 0.5, 0x01, 1);
    e.Reset();
    EXPECT_EQ(e.mWindowLength, 14400);
    EXPECT_EQ(e.mWindowMs, 300.0);
    EXPECT_EQ(e.mOverlap, 0.75);
    EXPECT_EQ(e.mRmsOffsetDb, 3.0);
    EXPECT_EQ(e.mMaxMeanSquare, 0.0);
    EXPECT_EQ(e.mIntegratedCount, 0);
    EXPECT_EQ(e.mFull, 0);
    EXPECT_EQ(e.mReadoutDb, -144.0);
    EXPECT_EQ(e.mPeakMaxReadoutDb, -144.0);
}

TEST_F(RmsEngine, IntegratedMeanStaysDefinedPastTheThirtyTwoBitCount) {
    Run(14400, 0.5, 0x01, 1);
    // Jump to just below 2^31 samples of power 0.25 (about 12.4 hours at 48 kHz).
    e.mIntegratedCount = std::numeric_limits<std::int32_t>::max() - 5;
    e.mIntegratedSum = 0.25 * static_cast<double>(e.mIntegratedCount);
    for (int n = 0; n < 20; ++n) ProcessFrame(e, 0.5, 0, 0, 0, 0, 0, 1.0, 1);
    EXPECT_GT(e.mIntegratedCount, std::int64_t{std::numeric_limits<std::int32_t>::max()});
    EXPECT_NEAR(e.mIntegratedMeanSquare, 0.25, 1e-12);
}

TEST_F(RmsEngine, NonFiniteSamplesAreHarmlessAndResetRestoresExactMeasuring) {
    RMSMM6 fresh;
    ASSERT_TRUE(fresh.Init(10.0, 3000.0, 0.75, 48000.0));
    fresh.SetWindow(300.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {nan, inf, -inf})
        for (int i = 0; i < 20000; ++i) {
            ProcessFrame_M(e, bad, 0.2, bad, bad, bad, bad, 1.0, 4);
            ProcessFrame(e, bad, 0.2, bad, bad, bad, bad, 1.0, 4);
        }
    e.GetCrestVal_db();
    e.Reset();
    for (long n = 0; n < 20000; ++n) {
        const double x = testsig::Sine(0.4, 997.0, 48000.0, n);
        for (RMSMM6* r : {&e, &fresh}) {
            ProcessFrame_M(*r, x, -x, x, x, 0, x, 1.0, 4);
            ProcessFrame(*r, x, -x, x, x, 0, x, 1.0, 4);
        }
    }
    EXPECT_EQ(e.mMeanSquare, fresh.mMeanSquare);
    EXPECT_EQ(e.mMaxMeanSquare, fresh.mMaxMeanSquare);
    EXPECT_EQ(e.mIntegratedMeanSquare, fresh.mIntegratedMeanSquare);
    EXPECT_EQ(e.mPeakMax, fresh.mPeakMax);
    EXPECT_EQ(e.GetCrestVal_db(), fresh.GetCrestVal_db());
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(e.mTruePeak[k].mTruePeakMax, fresh.mTruePeak[k].mTruePeakMax);
        EXPECT_EQ(e.mFollower[k].mFollower, fresh.mFollower[k].mFollower);
    }
}

TEST(RmsEngineSetup, BadArgumentsGiveAWorkingEngine) {
    RMSMM6 r;
    EXPECT_TRUE(r.Init(10.0, 3000.0, 0.75, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(r.mFs, 44100.0);
    EXPECT_TRUE(r.Init(std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       0.75, 48000.0));
    EXPECT_GE(r.mWindowLength, 1);
    EXPECT_LE(r.mWindowLength, r.Capacity());
    for (int n = 0; n < 100; ++n) ProcessFrame(r, 0.5, 0.5, 0, 0, 0, 0, 1.0, 0);
    // An overlap outside [0, 1] would stop the hop from ever ending (and its counter from resetting).
    for (double overlap : {std::numeric_limits<double>::quiet_NaN(), -5.0, 7.0}) {
        ASSERT_TRUE(r.Init(10.0, 3000.0, overlap, 1000.0));
        int results = 0;
        for (int n = 0; n < 100; ++n) results += ProcessFrame(r, 0.5, 0, 0, 0, 0, 0, 1.0, 1);
        EXPECT_GT(results, 0) << overlap;
    }
    RMSMM6 never;  // before Init: measures nothing, does not crash
    EXPECT_EQ(ProcessFrame(never, 0.5, 0.5, 0, 0, 0, 0, 1.0, 0), 0);
}

}  // namespace
