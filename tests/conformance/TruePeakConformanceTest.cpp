// EBU Tech 3341 true-peak cases 15 to 19: stereo tones at fractions of the sampling rate, sampled at
// phases that put the true peak between samples, with 10 ms fades.
#include <cmath>

#include "tests/conformance/ConformanceTest.h"

namespace conformance {
namespace {

// The reading may lie this far above / below the expected true peak (dB).
constexpr double kTruePeakAbove = 0.2;
constexpr double kTruePeakBelow = 0.4;

struct TruePeakCase {
    double rateDivisor;  // tone frequency = rate / rateDivisor
    double amplitude;    // linear peak
    double phaseDegrees;
    double expectedDbtp;
};

const TruePeakCase kCases[] = {
    {4.0, 0.5, 0.0, -6.0},  {4.0, 0.5, 45.0, -6.0}, {6.0, 0.5, 60.0, -6.0},
    {8.0, 0.5, 67.5, -6.0}, {4.0, 1.41, 45.0, 3.0},
};

class Tech3341TruePeak : public ConformanceTest {
  protected:
    void check(const TruePeakCase& c) {
        double peakDbfs = 20.0 * std::log10(c.amplitude);
        Tone tone{rate() / c.rateDivisor, c.phaseDegrees, 0.010};
        Measurements m = run({{1.0, {peakDbfs, peakDbfs}}}, kStereo20, tone);
        ASSERT_TRUE(m.truePeakDbtp.has_value());
        record("TP", *m.truePeakDbtp);
        EXPECT_GE(*m.truePeakDbtp, c.expectedDbtp - kTruePeakBelow);
        EXPECT_LE(*m.truePeakDbtp, c.expectedDbtp + kTruePeakAbove);
        // Both channels carry the same tone and must read the same.
        ASSERT_GE(m.truePeakDbtpPerChannel.size(), 2u);
        EXPECT_EQ(m.truePeakDbtpPerChannel[0], m.truePeakDbtpPerChannel[1]);
    }
};

TEST_P(Tech3341TruePeak, Case15QuarterRateAtZeroDegrees) {
    check(kCases[0]);
}
TEST_P(Tech3341TruePeak, Case16QuarterRateAt45Degrees) {
    check(kCases[1]);
}
TEST_P(Tech3341TruePeak, Case17SixthRateAt60Degrees) {
    check(kCases[2]);
}
TEST_P(Tech3341TruePeak, Case18EighthRateAt67Point5Degrees) {
    check(kCases[3]);
}
TEST_P(Tech3341TruePeak, Case19QuarterRateAbove0dBFSAt45Degrees) {
    check(kCases[4]);
}

CONFORMANCE_AT_BOTH_RATES(Tech3341TruePeak);

}  // namespace
}  // namespace conformance
