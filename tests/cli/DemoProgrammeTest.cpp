#include <gtest/gtest.h>

#include <cmath>

#include "cli/DemoProgramme.h"

namespace quenlix::cli {
namespace {

// RMS level in dBFS of each whole second of one channel of the demo programme.
std::vector<double> levelsPerSecond(AudioSource& src, int channel) {
    std::vector<double> levels;
    std::vector<float> buf(2 * kDemoSampleRate);
    std::string error;
    for (std::int64_t got; (got = src.read(buf.data(), kDemoSampleRate, error)) > 0;) {
        double sum = 0.0;
        for (std::int64_t i = 0; i < got; ++i) sum += double(buf[2 * i + channel]) * buf[2 * i + channel];
        levels.push_back(sum > 0.0 ? 10.0 * std::log10(sum / got) : -200.0);
    }
    return levels;
}

TEST(DemoProgramme, IsAMinuteOfStereoAt48k) {
    auto src = makeDemoProgramme();
    EXPECT_EQ(src->channels(), 2);
    EXPECT_EQ(src->sampleRate(), 48000);
    EXPECT_EQ(src->frames(), 60 * 48000);
    EXPECT_EQ(levelsPerSecond(*src, 0).size(), 60u);
}

TEST(DemoProgramme, LoudnessChangesAndStaysBelowFullScale) {
    auto src = makeDemoProgramme();
    std::vector<float> buf(2 * 4096);
    std::string error;
    float peak = 0.0f;
    for (std::int64_t got; (got = src->read(buf.data(), 4096, error)) > 0;)
        for (std::int64_t i = 0; i < 2 * got; ++i) {
            ASSERT_TRUE(std::isfinite(buf[i]));
            peak = std::max(peak, std::fabs(buf[i]));
        }
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.3f);

    auto levels = levelsPerSecond(*makeDemoProgramme(), 0);
    EXPECT_LT(levels[26], levels[14] - 10.0) << "the quiet passage is quieter than the chord";
    EXPECT_GT(levels[35], levels[14] + 3.0) << "the loud passage is louder than the chord";
    EXPECT_LT(levels[47], -150.0) << "a silent gap";
    EXPECT_GT(levels[59], levels[49] + 15.0) << "the closing crescendo";
}

TEST(DemoProgramme, IsTheSameEveryTimeWhateverTheReadSizes) {
    auto a = makeDemoProgramme();
    auto b = makeDemoProgramme();
    std::vector<float> bufA(2 * 1000), bufB(2 * 1000);
    std::string error;
    for (int block = 0; block < 200; ++block) {
        ASSERT_EQ(a->read(bufA.data(), 1000, error), 1000);
        for (int part = 0; part < 1000; part += 250)
            ASSERT_EQ(b->read(bufB.data() + 2 * part, 250, error), 250);
        ASSERT_EQ(bufA, bufB) << block;
    }
}

}  // namespace
}  // namespace quenlix::cli
