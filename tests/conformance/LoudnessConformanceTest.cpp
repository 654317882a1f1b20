// EBU Tech 3341 minimum-requirement cases for momentary, short-term and integrated loudness: 1 kHz sines
// whose peak levels per channel are given in dBFS.
#include <cmath>

#include "tests/conformance/ConformanceTest.h"

namespace conformance {
namespace {

using Tech3341Loudness = ConformanceTest;

TEST_P(Tech3341Loudness, Case1StereoAtMinus23ReadsMinus23Everywhere) {
    Measurements m = run(stereoSteps({{20.0, -23.0}}));
    expectNear("M", m.momentaryLufs, -23.0, kLoudnessToleranceLu);
    expectNear("S", m.shortTermLufs, -23.0, kLoudnessToleranceLu);
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

TEST_P(Tech3341Loudness, Case2StereoAtMinus33ReadsMinus33Everywhere) {
    Measurements m = run(stereoSteps({{20.0, -33.0}}));
    expectNear("M", m.momentaryLufs, -33.0, kLoudnessToleranceLu);
    expectNear("S", m.shortTermLufs, -33.0, kLoudnessToleranceLu);
    expectNear("I", m.integratedLufs, -33.0, kLoudnessToleranceLu);
}

// Quieter passages around the programme fall below the relative gate.
TEST_P(Tech3341Loudness, Case3QuietEdgesAreGatedRelatively) {
    Measurements m = run(stereoSteps({{10.0, -36.0}, {60.0, -23.0}, {10.0, -36.0}}));
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

// -72 dBFS lies below the absolute gate, -36 below the relative one.
TEST_P(Tech3341Loudness, Case4BothGatesApply) {
    Measurements m =
        run(stereoSteps({{10.0, -72.0}, {10.0, -36.0}, {60.0, -23.0}, {10.0, -36.0}, {10.0, -72.0}}));
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

// Every part passes the relative gate, so the result is the power mean of the three.
TEST_P(Tech3341Loudness, Case5LouderMiddleAveragesInPower) {
    Measurements m = run(stereoSteps({{20.0, -26.0}, {20.1, -20.0}, {20.0, -26.0}}));
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

// Channels L, R, C, Ls, Rs at -28, -28, -24, -30, -30 dBFS: the surround weights bring the sum to -23.
TEST_P(Tech3341Loudness, Case6FiveChannelsAs41Surround) {
    Measurements m = run({{20.0, {-28.0, -28.0, -24.0, -30.0, -30.0}}}, kSurround41);
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

// The same with a silent LFE in the fourth channel, which "5.1 Surround" leaves out of the loudness.
TEST_P(Tech3341Loudness, Case6SixChannelsWithSilentLfeAs51Surround) {
    Measurements m = run({{20.0, {-28.0, -28.0, -24.0, kSilent, -30.0, -30.0}}}, kSurround51);
    expectNear("I", m.integratedLufs, -23.0, kLoudnessToleranceLu);
}

// Readings of one windowed measure taken after every block once the window has first filled.
struct Readings {
    double firstSeconds = -1.0;  // time of the first valid reading
    double lowest = INFINITY;
    double highest = -INFINITY;
    int count = 0;
    void add(double seconds, const std::optional<double>& lufs) {
        if (!lufs) return;
        if (count++ == 0) firstSeconds = seconds;
        lowest = std::min(lowest, *lufs);
        highest = std::max(highest, *lufs);
    }
};

// 1.34 s at -20 dBFS and 1.66 s at -30 dBFS, repeated: every 3 s window holds one whole period, so the
// short-term loudness stays at -23 from the moment the window is full.
TEST_P(Tech3341Loudness, Case9ShortTermIsConstantAfterThreeSeconds) {
    Readings s;
    double blockSeconds = EbuMeterHost::kBlockFrames / rate();
    Measurements end = run(repeated(stereoSteps({{1.34, -20.0}, {1.66, -30.0}}), 20.0), kStereo20, {},
                           [&](double t, const Measurements& m) { s.add(t, m.shortTermLufs); });
    ASSERT_GT(s.count, 0) << "short-term loudness never became valid";
    EXPECT_LE(s.firstSeconds, 3.0 + blockSeconds);
    EXPECT_GE(s.lowest, -23.0 - kLoudnessToleranceLu);
    EXPECT_LE(s.highest, -23.0 + kLoudnessToleranceLu);
    record("S lowest", s.lowest);
    record("S highest", s.highest);
    expectNear("S max", end.shortTermMaxLufs, -23.0, kLoudnessToleranceLu);
}

// 0.18 s at -20 dBFS and 0.22 s at -30 dBFS, repeated: constant momentary loudness after 0.4 s.
TEST_P(Tech3341Loudness, Case12MomentaryIsConstantAfterFourHundredMilliseconds) {
    Readings mo;
    double blockSeconds = EbuMeterHost::kBlockFrames / rate();
    Measurements end = run(repeated(stereoSteps({{0.18, -20.0}, {0.22, -30.0}}), 20.0), kStereo20, {},
                           [&](double t, const Measurements& m) { mo.add(t, m.momentaryLufs); });
    ASSERT_GT(mo.count, 0) << "momentary loudness never became valid";
    EXPECT_LE(mo.firstSeconds, 0.4 + blockSeconds);
    EXPECT_GE(mo.lowest, -23.0 - kLoudnessToleranceLu);
    EXPECT_LE(mo.highest, -23.0 + kLoudnessToleranceLu);
    record("M lowest", mo.lowest);
    record("M highest", mo.highest);
    // Every momentary result, not just those a block ended on, stayed below the upper limit.
    expectNear("M max", end.momentaryMaxLufs, -23.0, kLoudnessToleranceLu);
}

CONFORMANCE_AT_BOTH_RATES(Tech3341Loudness);

}  // namespace
}  // namespace conformance
