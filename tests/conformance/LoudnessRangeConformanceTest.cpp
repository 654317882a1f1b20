// EBU Tech 3342 cases 1 to 4: stereo 1 kHz sines in 20 s steps whose loudness range is the level spread.
#include "tests/conformance/ConformanceTest.h"

namespace conformance {
namespace {

constexpr double kRangeToleranceLu = 1.0;

using Tech3342LoudnessRange = ConformanceTest;

TEST_P(Tech3342LoudnessRange, Case1TenDecibelStepDown) {
    Measurements m = run(stereoSteps({{20.0, -20.0}, {20.0, -30.0}}));
    expectNear("LRA", m.loudnessRangeLu, 10.0, kRangeToleranceLu);
}

TEST_P(Tech3342LoudnessRange, Case2FiveDecibelStepUp) {
    Measurements m = run(stereoSteps({{20.0, -20.0}, {20.0, -15.0}}));
    expectNear("LRA", m.loudnessRangeLu, 5.0, kRangeToleranceLu);
}

TEST_P(Tech3342LoudnessRange, Case3TwentyDecibelStepUp) {
    Measurements m = run(stereoSteps({{20.0, -40.0}, {20.0, -20.0}}));
    expectNear("LRA", m.loudnessRangeLu, 20.0, kRangeToleranceLu);
}

// The -50 dBFS ends lie more than 20 LU below the gated loudness and are dropped by the relative gate.
TEST_P(Tech3342LoudnessRange, Case4RelativeGateDropsTheQuietEnds) {
    Measurements m =
        run(stereoSteps({{20.0, -50.0}, {20.0, -35.0}, {20.0, -20.0}, {20.0, -35.0}, {20.0, -50.0}}));
    expectNear("LRA", m.loudnessRangeLu, 15.0, kRangeToleranceLu);
}

CONFORMANCE_AT_BOTH_RATES(Tech3342LoudnessRange);

}  // namespace
}  // namespace conformance
