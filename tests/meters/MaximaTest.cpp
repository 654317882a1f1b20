// Maxima of the windowed levels: taken at every sample of a full window, so a burst reads its own level
// wherever it falls between two results, while the results themselves stay as they were.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "meters/RMS_MS.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {

constexpr double kFs = 48000.0;

struct BurstReadings {
    double hopsOnly;  // largest result at the hops: what the maximum read when taken only there
    double maximum;   // the engine's maximum
};

// One 997 Hz burst in slot 1 (EBU "2.0 Stereo") of `length` samples at `lufs`, starting `offset` samples
// after the window first filled; silence before and after.
BurstReadings EbuBurst(bool shortTerm, long length, long offset, double lufs) {
    EBUMM6 e;
    e.Init(kFs);
    const RMS_MS& w = shortTerm ? e.mShortTerm : e.mMomentary;
    const long start = w.WindowLength() + offset;
    const long end = start + length + w.WindowLength() + 50000;
    const double amp = testsig::AmplitudeForLufs(lufs);
    double hopsOnly = 0.0;
    for (long n = 0; n < end; ++n) {
        const double x = n >= start && n < start + length ? testsig::Sine(amp, 997.0, kFs, n - start) : 0.0;
        ProcessFrame(e, x, 0.0, 0, 0, 0, 0, 0, 1);
        if (w.mReady) hopsOnly = std::max(hopsOnly, w.mResult);
    }
    return {LoudnessLufs(hopsOnly), LoudnessLufs(w.mMaxResult)};
}

// Ten start offsets spread over one hop; each burst must read within 0.05 of its level.
void ExpectBurstsReadTheirLevel(const char* what, long hop, double level,
                                const std::function<BurstReadings(long)>& run) {
    double oldLow = 1e9, oldHigh = -1e9, newLow = 1e9, newHigh = -1e9;
    for (int j = 0; j < 10; ++j) {
        const long offset = j * hop / 10;
        const BurstReadings r = run(offset);
        EXPECT_NEAR(r.maximum, level, 0.05) << what << " offset " << offset;
        EXPECT_GE(r.maximum, r.hopsOnly) << what << " offset " << offset;
        oldLow = std::min(oldLow, r.hopsOnly);
        oldHigh = std::max(oldHigh, r.hopsOnly);
        newLow = std::min(newLow, r.maximum);
        newHigh = std::max(newHigh, r.maximum);
    }
    std::printf("%s burst at %.2f: maximum at the hops only %.3f .. %.3f, at every sample %.3f .. %.3f\n",
                what, level, oldLow, oldHigh, newLow, newHigh);
    EXPECT_LT(oldLow, level - 0.05) << what << ": some offset must fall between hops";
}

TEST(WindowMaxima, ShortTermBurstReadsItsLevelAtAnyOffset) {
    const long length = static_cast<long>(3.0 * kFs);
    ExpectBurstsReadTheirLevel("short-term 3 s", 48001, -23.0,
                               [&](long offset) { return EbuBurst(true, length, offset, -23.0); });
}

TEST(WindowMaxima, MomentaryBurstReadsItsLevelAtAnyOffset) {
    const long length = static_cast<long>(0.4 * kFs);
    ExpectBurstsReadTheirLevel("momentary 0.4 s", 4801, -23.0,
                               [&](long offset) { return EbuBurst(false, length, offset, -23.0); });
}

TEST(WindowMaxima, RmsBurstOfTheWindowsLengthReadsItsLevelAtAnyOffset) {
    const double amp = 0.25;
    const double levelDb = 10.0 * std::log10(amp * amp / 2.0);
    ExpectBurstsReadTheirLevel("RMS 300 ms", 3601, levelDb, [&](long offset) {
        RMSMM6 r;
        r.Init(10.0, 3000.0, 0.75, kFs);
        r.SetWindow(300.0);
        const long start = r.mWindowLength + offset;
        const long end = start + 2 * r.mWindowLength + 4000;
        double hopsOnly = 0.0;
        for (long n = 0; n < end; ++n) {
            const double x =
                n >= start && n < start + r.mWindowLength ? testsig::Sine(amp, 997.0, kFs, n - start) : 0.0;
            if (ProcessFrame(r, x, 0, 0, 0, 0, 0, 1.0, 1)) hopsOnly = std::max(hopsOnly, r.mMeanSquare);
        }
        return BurstReadings{10.0 * std::log10(hopsOnly), 10.0 * std::log10(r.mMaxMeanSquare)};
    });
}

// The window as written: results only at the hops, from the running sum with its clamp at zero. Results
// and ready flags must keep their bits; the maximum is the largest sum over any full window, divided once.
TEST(WindowMaxima, ResultsKeepTheirBitsAndTheMaximumIsTheLargestWindowAtAnySample) {
    for (const auto& c :
         {std::make_pair(441, 0.75), std::make_pair(1000, 2.0 / 3.0), std::make_pair(7, 0.0)}) {
        const int length = c.first;
        RMS_MS w;
        ASSERT_TRUE(w.Init(length, c.second));
        std::vector<double> ring(length, 0.0);
        double sum = 0.0, result = 0.0, largestSum = 0.0;
        int write = 0, hop = 0;
        bool full = false;
        std::mt19937 rng(static_cast<unsigned>(length));
        std::uniform_real_distribution<double> level(0.0, 1.0);
        for (int n = 0; n < 40 * length; ++n) {
            const double y = level(rng) * (n % 997 < 300 ? 1.0 : 0.01);
            const double p = y * y;
            sum += p;
            const double outgoing = ring[write];
            ring[write] = p;
            ++write;
            ++hop;
            int ready = 0;
            if (write == length) {
                write = 0;
                full = true;
            }
            if (full) {
                sum = std::max(0.0, sum - outgoing);
                largestSum = std::max(largestSum, sum);
                if (hop > (1.0 - c.second) * length) {
                    hop = 0;
                    result = sum / length;
                    ready = 1;
                }
            }
            ASSERT_EQ(w.Process(y, 0, 0, 0, 0, 0, 0), ready) << length << " " << n;
            ASSERT_EQ(w.mResult, result) << length << " " << n;
            ASSERT_EQ(w.mMaxResult, largestSum / length) << length << " " << n;
        }
    }
}

}  // namespace
