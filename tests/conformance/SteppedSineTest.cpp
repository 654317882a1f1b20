// The test signals themselves: a wrong level, boundary or phase here would make every conformance case
// meaningless, so the synthesis is checked against the definitions before it is trusted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/conformance/SteppedSine.h"

namespace conformance {
namespace {

// The whole signal, one vector per channel, rendered in awkward block sizes.
std::vector<std::vector<float>> renderAll(SteppedSine& s) {
    std::vector<std::vector<float>> all(s.channels());
    std::vector<std::vector<float>> block(s.channels(), std::vector<float>(777));
    std::vector<float*> ptr;
    for (auto& b : block) ptr.push_back(b.data());
    while (!s.finished()) {
        int n = s.render(ptr.data(), 777);
        for (int c = 0; c < s.channels(); ++c)
            all[c].insert(all[c].end(), block[c].begin(), block[c].begin() + n);
    }
    return all;
}

float peakOf(const std::vector<float>& x, std::size_t from, std::size_t to) {
    float p = 0.0f;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, std::fabs(x[i]));
    return p;
}

TEST(SteppedSine, StepsEndOnTheFrameNearestTheirEndTimeWithUnbrokenPhase) {
    // 0.18 s + 0.22 s at 44100 Hz: 7938 and 9702 frames; a quarter-rate tone peaks on every other sample.
    SteppedSine s(44100.0, {11025.0, 90.0, 0.0}, repeated(stereoSteps({{0.18, -20.0}, {0.22, -30.0}}), 1.0));
    ASSERT_EQ(s.totalFrames(), 44100);
    auto x = renderAll(s);
    ASSERT_EQ(x[0].size(), 44100u);
    const float loud = static_cast<float>(std::pow(10.0, -20.0 / 20.0));
    const float quiet = static_cast<float>(std::pow(10.0, -30.0 / 20.0));
    EXPECT_NEAR(peakOf(x[0], 0, 7938), loud, 1e-6);
    EXPECT_NEAR(peakOf(x[0], 7938, 17640), quiet, 1e-6);
    EXPECT_NEAR(peakOf(x[1], 17640, 17640 + 7938), loud, 1e-6);
    // Phase runs on across the step: frame 7938 (even) is a peak of the quiet level, with the sign the
    // phase gives it (cos(pi * n / 2) at n = 7938 is -1).
    EXPECT_NEAR(x[0][7937], 0.0f, 1e-6);
    EXPECT_NEAR(x[0][7938], -quiet, 1e-6);
    // The last repetition is cut where the total ends: loud from 0.8 s, quiet for the last 0.02 s.
    EXPECT_NEAR(peakOf(x[0], 35280, 43218), loud, 1e-6);
    EXPECT_NEAR(peakOf(x[0], 43218, 44100), quiet, 1e-6);
}

TEST(SteppedSine, FadesRiseAndFallOverTheirLengthOnly) {
    SteppedSine s(48000.0, {12000.0, 90.0, 0.010}, stereoSteps({{1.0, 0.0}}));
    auto x = renderAll(s);
    EXPECT_EQ(x[0][0], 0.0f);                // faded in from silence
    EXPECT_LT(std::fabs(x[0][240]), 0.51f);  // half way through the 480-frame fade
    EXPECT_GT(std::fabs(x[0][240]), 0.49f);
    EXPECT_FLOAT_EQ(peakOf(x[0], 480, 47520), 1.0f);  // full level between the fades
    EXPECT_LT(std::fabs(x[0][47999]), 1e-4f);         // faded out at the end
}

TEST(SteppedSine, SilentChannelStaysDigitalZeroBesideTheOthers) {
    SteppedSine s(48000.0, {}, {{0.5, {-28.0, -28.0, -24.0, kSilent, -30.0, -30.0}}});
    auto x = renderAll(s);
    EXPECT_EQ(peakOf(x[3], 0, x[3].size()), 0.0f);
    EXPECT_NEAR(20.0 * std::log10(peakOf(x[2], 0, x[2].size())), -24.0, 1e-3);
    EXPECT_NEAR(20.0 * std::log10(peakOf(x[5], 0, x[5].size())), -30.0, 1e-3);
}

}  // namespace
}  // namespace conformance
