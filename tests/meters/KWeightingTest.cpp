// KFilter: the two K-weighting stages.

#include <gtest/gtest.h>

#include <cmath>

#include "meters/KFilter.h"
#include "tests/meters/Signals.h"

namespace {

TEST(KWeightingCoefficients, MatchTheBs1770TableAt48k) {
    KFilter pre;
    pre.Init(KFilter::kPreFilter, 48000.0);
    EXPECT_NEAR(pre.mB0, 1.53512485958697, 1e-14);
    EXPECT_NEAR(pre.mB1, -2.69169618940638, 1e-14);
    EXPECT_NEAR(pre.mB2, 1.19839281085285, 1e-14);
    EXPECT_NEAR(pre.mA1, -1.69065929318241, 1e-14);
    EXPECT_NEAR(pre.mA2, 0.73248077421585, 1e-14);
    EXPECT_EQ(pre.mA0n, 1.0);

    KFilter rlb;
    rlb.Init(KFilter::kRlbFilter, 48000.0);
    EXPECT_NEAR(rlb.mB0, 1.0, 1e-14);
    EXPECT_NEAR(rlb.mB1, -2.0, 1e-14);
    EXPECT_NEAR(rlb.mB2, 1.0, 1e-14);
    EXPECT_NEAR(rlb.mA1, -1.99004745483398, 1e-14);
    EXPECT_NEAR(rlb.mA2, 0.99007225036621, 1e-14);
}

TEST(KWeightingCoefficients, FollowTheWrittenOperationOrderToTheLastBit) {
    KFilter pre;
    pre.Init(KFilter::kPreFilter, 48000.0);
    EXPECT_EQ(pre.mB0, 1.5351248595869735);
    EXPECT_EQ(pre.mB1, -2.691696189406388);
    EXPECT_EQ(pre.mB2, 1.1983928108528543);
    EXPECT_EQ(pre.mA1, -1.6906592931824103);
    EXPECT_EQ(pre.mA2, 0.7324807742158502);
    KFilter rlb;
    rlb.Init(KFilter::kRlbFilter, 48000.0);
    EXPECT_EQ(rlb.mB0, 1.0000000000000016);
    EXPECT_EQ(rlb.mB2, 1.0000000000000016);
    EXPECT_EQ(rlb.mB1, -2.000000000000003);
    EXPECT_EQ(rlb.mA1, -1.9900474548339797);
    EXPECT_EQ(rlb.mA2, 0.9900722503662099);
}

// Steady-state gain of the two stages in series for a sine, as power ratio.
double KWeightedPowerGain(double hz, double fs) {
    KFilter pre, rlb;
    pre.Init(KFilter::kPreFilter, fs);
    rlb.Init(KFilter::kRlbFilter, fs);
    const long settle = static_cast<long>(fs);
    const long n = static_cast<long>(fs);
    double sumIn = 0.0, sumOut = 0.0;
    for (long i = 0; i < settle + n; ++i) {
        const double x = testsig::Sine(1.0, hz, fs, i);
        const double y = rlb.Process(pre.Process(x));
        if (i >= settle) {
            sumIn += x * x;
            sumOut += y * y;
        }
    }
    return sumOut / sumIn;
}

TEST(KWeightingResponse, ShelfLiftsHighsAndHighPassCutsLowsAtEveryRate) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        // About +0.69 dB at 997 Hz (so a full-scale sine reads -3.01 LUFS), about +4 dB at 10 kHz,
        // strongly cut at 10 Hz.
        EXPECT_NEAR(10 * std::log10(KWeightedPowerGain(997.0, fs)), 0.69, 0.02) << fs;
        EXPECT_NEAR(10 * std::log10(KWeightedPowerGain(10000.0, fs)), 4.0, 0.2) << fs;
        EXPECT_LT(10 * std::log10(KWeightedPowerGain(10.0, fs)), -10.0) << fs;
    }
}

TEST(KWeightingState, ResetClearsHistoryButKeepsCoefficients) {
    KFilter f, fresh;
    f.Init(KFilter::kPreFilter, 44100.0);
    fresh.Init(KFilter::kPreFilter, 44100.0);
    for (int i = 0; i < 100; ++i) f.Process(i % 2 ? 0.8 : -0.3);
    f.Process(std::nan(""));
    f.Reset();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(f.Process(0.25 * i), fresh.Process(0.25 * i)) << i;
}

}  // namespace
