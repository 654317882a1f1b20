// ISPD_ITU (true peak) and PeakFollower (meter ballistics).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "meters/ISPD_ITU.h"
#include "meters/PeakFollower.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class TruePeakTableChoice : public ::testing::TestWithParam<std::pair<double, bool>> {};

TEST_P(TruePeakTableChoice, PicksTableByWholeHertzRate) {
    ISPD_ITU d;
    d.Init(GetParam().first);
    const bool useB = GetParam().second;
    EXPECT_EQ(d.ActiveTable(), useB ? ISPD_ITU::kTableB : ISPD_ITU::kTableA) << GetParam().first;
    EXPECT_EQ(d.ActiveNormaliser(), useB ? ISPD_ITU::kNormaliserB : ISPD_ITU::kNormaliserA);
}

INSTANTIATE_TEST_SUITE_P(Rates, TruePeakTableChoice,
                         ::testing::Values(std::make_pair(44100.0, false), std::make_pair(88200.0, false),
                                           std::make_pair(176400.0, false), std::make_pair(48000.0, true),
                                           std::make_pair(96000.0, true), std::make_pair(192000.0, true),
                                           std::make_pair(32000.0, false), std::make_pair(22050.0, false),
                                           std::make_pair(48000.9, true),     // truncated to 48000 first
                                           std::make_pair(47999.9, false),    // truncated to 47999
                                           std::make_pair(7056000.0, false),  // multiple of both: 44100 wins
                                           std::make_pair(std::numeric_limits<double>::quiet_NaN(), false),
                                           std::make_pair(1.0e12, false)));

TEST(TruePeakTables, AreSymmetricWithZerosEveryFourthTapAndNormalisersAreTheirSums) {
    for (const double* t : {ISPD_ITU::kTableA, ISPD_ITU::kTableB}) {
        double sum = 0.0;
        for (int i = 0; i < ISPD_ITU::kTaps; ++i) {
            EXPECT_EQ(t[i], t[48 - i]) << i;
            if ((i - 24) % 4 == 0) {
                EXPECT_EQ(t[i], i == 24 ? 1.0 : 0.0) << i;
            }
            sum += t[i];
        }
        const double n = t == ISPD_ITU::kTableA ? ISPD_ITU::kNormaliserA : ISPD_ITU::kNormaliserB;
        EXPECT_NEAR(sum, n, 5e-10);
    }
}

class TruePeakDetector : public ::testing::Test {
  protected:
    ISPD_ITU Make(double fs) {
        ISPD_ITU d;
        d.Init(fs);
        return d;
    }
};

TEST_F(TruePeakDetector, ImpulseReachesCentreCoefficientSixSamplesLate) {
    for (double fs : {44100.0, 48000.0}) {
        ISPD_ITU d = Make(fs);
        const double centre = (1.0 * 4.0) / d.ActiveNormaliser();
        d.ProcessSample(1.0);
        for (int n = 1; n < 6; ++n) {
            d.ProcessSample(0.0);
            EXPECT_LT(d.mTruePeakMax, centre) << n;
        }
        d.ProcessSample(0.0);
        EXPECT_EQ(d.mPeak, centre);
        EXPECT_EQ(d.mTruePeakMax, centre);
        for (int n = 7; n < 40; ++n) d.ProcessSample(0.0);
        EXPECT_EQ(d.mTruePeakMax, centre);
        EXPECT_EQ(d.mPeak, 0.0);
    }
}

TEST_F(TruePeakDetector, StepToConstantInputOvershootsThenSettlesToThePhaseGains) {
    ISPD_ITU d = Make(44100.0);
    for (int n = 0; n < 20; ++n) d.ProcessSample(1.0);
    // Settled: each phase gives its coefficient sum times 4 / N; phase 0 exactly 4 / N, the largest.
    double largest = 0.0;
    for (int p = 0; p < 4; ++p) {
        double s = 0.0;
        for (int j = 48 - p; j >= 0; j -= 4) s += ISPD_ITU::kTableA[j];
        largest = std::max(largest, std::fabs(s * 4.0 / ISPD_ITU::kNormaliserA));
    }
    EXPECT_NEAR(d.mPeak, largest, 1e-12);
    EXPECT_NEAR(d.mPeak, 4.0 / ISPD_ITU::kNormaliserA, 1e-12);
    // On the way there the step rings: the maximum is about 1.134.
    EXPECT_NEAR(d.mTruePeakMax, 1.134, 0.0005);
}

TEST_F(TruePeakDetector, QuarterRateSineAtFortyFiveDegreesShowsInterSamplePeak) {
    const struct {
        double fs;
        double expected;
    } cases[] = {{44100.0, 1.029}, {48000.0, 1.017}};
    for (const auto& c : cases) {
        ISPD_ITU d = Make(c.fs);
        double samplePeak = 0.0;
        for (int n = 0; n < 400; ++n) {
            const double x = std::sin(kPi / 4.0 + n * kPi / 2.0);
            samplePeak = std::max(samplePeak, std::fabs(x));
            d.ProcessSample(x);
        }
        EXPECT_NEAR(samplePeak, 0.7071, 0.0001);
        EXPECT_NEAR(d.mTruePeakMax, c.expected, 0.0005) << c.fs;
    }
}

// The detector step written out literally: a 49-entry ring that receives every scaled input four
// times, each phase summing table[j] * ring[(w + j + 1) mod 49] for j = 48 - p, 44 - p, ... 0.
struct LiteralDetector {
    explicit LiteralDetector(const double* t, double n) : table(t), norm(n) {}
    void Step(double x) {
        peak = 0.0;
        const double s = (x * 4.0) / norm;
        for (int p = 0; p < 4; ++p) {
            ring[w] = s;
            double acc = 0.0;
            for (int j = 48 - p; j >= 0; j -= 4) acc += table[j] * ring[(w + j + 1) % 49];
            w = (w + 1) % 49;
            peak = std::max(peak, std::fabs(acc));
        }
        max = std::max(max, peak);
    }
    const double* table;
    double norm;
    double ring[49] = {};
    int w = 0;
    double peak = 0.0, max = 0.0;
};

TEST_F(TruePeakDetector, MatchesTheLiteralRingAlgorithmBitForBit) {
    for (double fs : {44100.0, 48000.0}) {
        ISPD_ITU d = Make(fs);
        LiteralDetector ref(d.ActiveTable(), d.ActiveNormaliser());
        for (int n = 0; n < 500; ++n) {
            const double x = std::sin(0.37 * n) * (n % 5 == 0 ? -0.9 : 0.6) + (n % 97 == 0 ? 0.5 : 0.0);
            d.ProcessSample(x);
            ref.Step(x);
            ASSERT_EQ(d.mPeak, ref.peak) << fs << " " << n;
        }
        EXPECT_EQ(d.mTruePeakMax, ref.max);
        // Also the non-finite path: 0 * inf terms make the whole window NaN, exactly as written.
        const double inf = std::numeric_limits<double>::infinity();
        for (int n = 0; n < 30; ++n) {
            const double x = n == 3 ? inf : 0.25;
            d.ProcessSample(x);
            ref.Step(x);
            EXPECT_EQ(std::isnan(d.mPeak), std::isnan(ref.peak)) << n;
            if (!std::isnan(ref.peak)) {
                EXPECT_EQ(d.mPeak, ref.peak) << n;
            }
        }
    }
}

TEST_F(TruePeakDetector, ResetForgetsHistoryAndNonFiniteInput) {
    ISPD_ITU d = Make(48000.0);
    for (double x : {0.9, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity(), 0.5})
        d.ProcessSample(x);
    d.Reset();
    EXPECT_EQ(d.mTruePeakMax, 0.0);
    EXPECT_EQ(d.ActiveTable(), ISPD_ITU::kTableB);  // reset keeps the table
    d.ProcessSample(1.0);
    for (int n = 0; n < 6; ++n) d.ProcessSample(0.0);
    EXPECT_EQ(d.mTruePeakMax, 4.0 / ISPD_ITU::kNormaliserB);
}

class PeakFollowerBallistics : public ::testing::Test {
  protected:
    void SetUp() override { f.Init(48000.0); }
    PeakFollower f;
};

TEST_F(PeakFollowerBallistics, FallsTwentyDecibelsPerHalfSecondAndHoldsThePeak) {
    f.Process(1.0);
    for (int n = 0; n < 24000; ++n) f.Process(0.0);
    EXPECT_NEAR(f.mFollower, 0.1, 1e-10);
    for (int n = 0; n < 24000; ++n) f.Process(0.0);
    EXPECT_NEAR(f.mFollower, 0.01, 1e-11);
    EXPECT_EQ(f.mHeld, 1.0);
}

TEST_F(PeakFollowerBallistics, JumpsToHigherInputButFallsOnEqualInput) {
    f.Process(0.5);
    EXPECT_EQ(f.mFollower, 0.5);
    f.Process(0.5);
    EXPECT_LT(f.mFollower, 0.5);
    f.Process(0.7);
    EXPECT_EQ(f.mFollower, 0.7);
    EXPECT_EQ(f.mHeld, 0.7);
    f.Reset();
    EXPECT_EQ(f.mHeld, 0.0);
    EXPECT_EQ(f.mFollower, 0.0);
    f.Process(0.2);
    EXPECT_EQ(f.mHeld, 0.2);  // the decay survives a reset
    f.Process(0.0);
    EXPECT_NEAR(f.mFollower, 0.2 / std::pow(10.0, 1.0 / 24000.0), 1e-17);
}

}  // namespace
