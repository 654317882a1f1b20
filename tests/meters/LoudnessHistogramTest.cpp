// The histogram the integrated loudness and the loudness range fall back on for long programmes: which
// bin a block lands in at the edges, the counts and sums read from a bin upwards, and the bin of a rank.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "meters/LoudnessHistogram.h"

namespace {

// -70 .. 0 LUFS in 0.001 LU bins, as the engines use it.
constexpr int kBins = 70000;

class Histogram : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(h.Init(kBins, true)); }
    LoudnessHistogram h;
};

TEST_F(Histogram, BlocksAtTheEdgesLandInTheEndBins) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double lufs;
        int bin;
    } cases[] = {
        {-70.0, 0},            // the absolute gate itself
        {-69.9995, 0},         // inside the first bin
        {-80.0, 0},            // below the gate: never added by the engines, counted in bin 0
        {std::nan(""), 0},     // no loudness at all
        {-69.9975, 2},         // an ordinary bin
        {-0.0005, kBins - 1},  // the last bin proper
        {0.0, kBins - 1},      // the top edge
        {5.0, kBins - 1},      // louder blocks share the top bin
        {inf, kBins - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(h.BinOf(c.lufs), c.bin) << c.lufs;
}

TEST_F(Histogram, CountsAndSumsFromABinTakeEveryBlockAtOrAboveIt) {
    // Mean squares that are powers of two add without rounding in any order.
    h.Add(-70.0, 1.0);
    h.Add(-40.0, 2.0);
    h.Add(-40.0, 4.0);
    h.Add(-10.0, 8.0);
    h.Add(3.0, 16.0);  // above the top bin
    const int top = kBins - 1;
    const struct {
        int bin;
        std::int64_t count;
        double sum;
    } cases[] = {
        {-5, 5, 31.0},  // below the first bin: all of them
        {0, 5, 31.0},    {1, 4, 30.0}, {h.BinOf(-40.0), 4, 30.0}, {h.BinOf(-40.0) + 1, 2, 24.0},
        {top, 1, 16.0},   // the top bin holds the louder block
        {kBins, 0, 0.0},  // past the bins: none
    };
    for (const auto& c : cases) {
        EXPECT_EQ(h.CountFrom(c.bin), c.count) << c.bin;
        EXPECT_EQ(h.SumFrom(c.bin), c.sum) << c.bin;
    }
    EXPECT_EQ(h.Total(), 5);
}

TEST_F(Histogram, RanksFindTheirBinsFromTheQuietestToTheLoudest) {
    const double blocks[] = {-23.0, -69.9999, 12.0, -23.0, -45.5};
    for (double l : blocks) h.Add(l, 1.0);
    const struct {
        std::int64_t rank;
        int bin;
    } cases[] = {
        {-1, 0},  // clamped to the quietest
        {0, 0},   // the quietest block, in the bottom bin
        {1, h.BinOf(-45.5)},
        {2, h.BinOf(-23.0)},
        {3, h.BinOf(-23.0)},  // two blocks share a bin
        {4, kBins - 1},       // the loudest, above the top bin
        {99, kBins - 1},      // clamped to the loudest
    };
    for (const auto& c : cases) EXPECT_EQ(h.BinOfRank(c.rank), c.bin) << c.rank;
}

TEST_F(Histogram, ABlockInTheTopBinAloneIsBothEnds) {
    h.Add(1e9, 0.5);
    EXPECT_EQ(h.BinOfRank(0), kBins - 1);
    EXPECT_EQ(h.CountFrom(kBins - 1), 1);
    EXPECT_EQ(h.CountFrom(kBins - 2), 1);
    EXPECT_EQ(h.SumFrom(kBins - 1), 0.5);
}

TEST_F(Histogram, AResetEmptiesEveryBinAndCountsStartAgain) {
    for (int i = 0; i < 100; ++i) h.Add(-70.0 + i * 0.7, 1.0);
    h.Reset();
    EXPECT_EQ(h.Total(), 0);
    EXPECT_EQ(h.CountFrom(0), 0);
    EXPECT_EQ(h.SumFrom(0), 0.0);
    EXPECT_EQ(h.BinOfRank(0), 0);
    h.Add(-20.0, 0.25);
    EXPECT_EQ(h.CountFrom(0), 1);
    EXPECT_EQ(h.SumFrom(0), 0.25);
    EXPECT_EQ(h.BinOfRank(0), h.BinOf(-20.0));
}

TEST(HistogramWithoutSums, CountsAndGivesNoSums) {
    LoudnessHistogram h;
    ASSERT_TRUE(h.Init(10, false));
    h.Add(-69.9945, 3.0);
    EXPECT_EQ(h.CountFrom(0), 1);
    EXPECT_EQ(h.SumFrom(0), 0.0);
    EXPECT_EQ(h.BinOfRank(0), 5);
}

}  // namespace
