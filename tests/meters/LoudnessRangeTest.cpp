// LRA: loudness range from short-term blocks.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/Levels.h"
#include "meters/LRA.h"

namespace {

class LoudnessRange : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(lra.Init(3600)); }
    static double Ms(double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); }

    // Feeds the given loudness values (LUFS) in order; returns them sorted as mean squares.
    std::vector<double> Feed(const std::vector<double>& lufs) {
        std::vector<double> ms;
        for (double l : lufs) {
            ms.push_back(Ms(l));
            lra.Process(ms.back());
        }
        std::sort(ms.begin(), ms.end());
        return ms;
    }

    LRA lra;
};

TEST_F(LoudnessRange, ConstantProgrammeHasNoRange) {
    for (int i = 0; i < 200; ++i) lra.Process(Ms(-23.0));
    EXPECT_EQ(lra.mRangeLu, 0.0);
    EXPECT_EQ(lra.mCount, 200);
}

TEST_F(LoudnessRange, OneBlockGivesZeroAndTwoBlocksTheirDifference) {
    lra.Process(Ms(-20.0));
    EXPECT_EQ(lra.mCount, 1);
    EXPECT_EQ(lra.mRangeLu, 0.0);
    lra.Process(Ms(-27.0));
    EXPECT_EQ(lra.mRelativeCount, 2);
    EXPECT_EQ(lra.mRangeLu, LoudnessLufs(Ms(-20.0)) - LoudnessLufs(Ms(-27.0)));
}

TEST_F(LoudnessRange, PercentileIndicesFollowTheRoundingRule) {
    // k = 11: indices 1 and 10; k = 21: indices 2 and 19. Values arrive shuffled.
    const struct { int k, low, high; } cases[] = {{11, 1, 10}, {21, 2, 19}};
    for (const auto& c : cases) {
        lra.Reset();
        std::vector<double> lufs;
        for (int i = 0; i < c.k; ++i) lufs.push_back(-30.0 + ((i * 7) % c.k) * 0.5);
        const std::vector<double> sorted = Feed(lufs);
        ASSERT_EQ(lra.mRelativeCount, c.k);
        EXPECT_EQ(lra.mLowLufs, LoudnessLufs(sorted[c.low])) << c.k;
        EXPECT_EQ(lra.mHighLufs, LoudnessLufs(sorted[c.high])) << c.k;
        EXPECT_EQ(lra.mRangeLu, lra.mHighLufs - lra.mLowLufs);
    }
}

TEST_F(LoudnessRange, AlternatingSectionsSpanTheirDifference) {
    std::vector<double> lufs;
    for (int s = 0; s < 20; ++s)
        for (int i = 0; i < 30; ++i) lufs.push_back(s % 2 ? -30.0 : -20.0);
    Feed(lufs);
    EXPECT_NEAR(lra.mGatedLufs, -22.6, 0.01);
    EXPECT_NEAR(lra.mRelativeThresholdLufs, -42.6, 0.01);
    EXPECT_EQ(lra.mRelativeCount, 600);
    EXPECT_NEAR(lra.mRangeLu, 10.0, 1e-9);
}

TEST_F(LoudnessRange, RelativeGateDropsQuietBlocks) {
    std::vector<double> lufs;
    for (int s = 0; s < 10; ++s)
        for (int i = 0; i < 30; ++i) lufs.push_back(s % 2 ? -45.0 : -20.0);
    Feed(lufs);
    EXPECT_EQ(lra.mCount, 300);
    EXPECT_EQ(lra.mRelativeCount, 150);
    EXPECT_NEAR(lra.mRangeLu, 0.0, 1e-9);
}

TEST_F(LoudnessRange, BlocksBelowTheAbsoluteGateChangeNothing) {
    Feed({-20.0, -25.0});
    const double range = lra.mRangeLu;
    lra.Process(Ms(-80.0));
    lra.Process(0.0);
    lra.Process(std::numeric_limits<double>::quiet_NaN());
    lra.Process(-1.0);
    EXPECT_EQ(lra.mCount, 2);
    EXPECT_EQ(lra.mRangeLu, range);
}

TEST_F(LoudnessRange, MeasurementGoesOnPastTheExactStore) {
    for (int i = 0; i < 3600; ++i) lra.Process(Ms(i % 2 ? -20.0 : -28.0));
    EXPECT_EQ(lra.mCount, 3600);
    EXPECT_NEAR(lra.mRangeLu, 8.0, 1e-9);
    lra.Process(Ms(-90.0));
    EXPECT_EQ(lra.mCount, 3600);
    // Another hour of the quieter level: the range still spans both, with every block counted.
    for (int i = 0; i < 3600; ++i) lra.Process(Ms(-28.0));
    EXPECT_EQ(lra.mCount, 7200);
    EXPECT_EQ(lra.mRelativeCount, 7200);
    EXPECT_NEAR(lra.mRangeLu, 8.0, 0.001 + 1e-9);
    // Once fewer than a tenth of all blocks are quieter, the 10th percentile is the louder level.
    for (int i = 0; i < 50000; ++i) lra.Process(Ms(-20.0));
    EXPECT_NEAR(lra.mRangeLu, 0.0, 1e-9);
}

TEST_F(LoudnessRange, ResetClearsTheRangeButKeepsGatesAndPercentiles) {
    Feed({-20.0, -25.0, -22.0});
    lra.Reset();
    EXPECT_EQ(lra.mRangeLu, 0.0);
    EXPECT_EQ(lra.mCount, 0);
    EXPECT_EQ(lra.mRunningSum, 0.0);
    EXPECT_EQ(lra.mAbsoluteGateLufs, -70.0);
    EXPECT_EQ(lra.mRelativeGateLu, -20.0);
    EXPECT_EQ(lra.mLowPercentile, 10.0);
    EXPECT_EQ(lra.mHighPercentile, 95.0);
    Feed({-30.0});
    EXPECT_EQ(lra.mRangeLu, 0.0);
}

TEST_F(LoudnessRange, InfiniteBlockKeepsIndicesInRangeAndResetRecovers) {
    Feed({-20.0, -24.0});
    lra.Process(std::numeric_limits<double>::infinity());
    Feed({-20.0, -21.0});
    lra.Reset();
    Feed({-20.0, -24.0});
    EXPECT_NEAR(lra.mRangeLu, 4.0, 1e-9);
}

TEST_F(LoudnessRange, OverflowingRunningSumLeavesTheRangeAndResetRecovers) {
    Feed({-20.0, -24.0});
    lra.Process(1.0e308);
    const double range = lra.mRangeLu;
    lra.Process(1.0e308);  // the running sum is now infinite: no block reaches the relative gate
    EXPECT_EQ(lra.mRelativeCount, 0);
    EXPECT_EQ(lra.mRangeLu, range);
    lra.Reset();
    Feed({-20.0, -26.0});
    EXPECT_NEAR(lra.mRangeLu, 6.0, 1e-9);
}

TEST(LoudnessRangeSetup, TinyOrInvalidCapacityStillGivesADefinedStore) {
    LRA lra;
    ASSERT_TRUE(lra.Init(0));
    EXPECT_EQ(lra.Capacity(), 1);
    lra.Process(0.01);
    lra.Process(0.01);
    EXPECT_EQ(lra.mCount, 2);  // the second block already comes from the histogram
    EXPECT_EQ(lra.mRangeLu, 0.0);
    LRA never;
    never.Process(0.01);  // before Init: nothing happens
    EXPECT_EQ(never.mCount, 0);
}

}  // namespace
