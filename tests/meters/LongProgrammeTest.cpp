// Integrated loudness (RMSInt) and loudness range (LRA) over programmes of any length: bit-for-bit the
// plain algorithms while their exact stores last, and within the stated error of an exact computation
// over all blocks beyond. Block mean squares are fed directly; programmes are generated block by block.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/LRA.h"
#include "meters/LoudnessHistogram.h"
#include "meters/RMSInt.h"
#include "tests/meters/EngineFrames.h"
#include "tests/meters/Signals.h"

namespace {

constexpr double kBinLu = 0.001;

double Ms(double lufs) {
    return std::pow(10.0, (lufs + 0.691) / 10.0);
}

// The integrator as its plain algorithm is written: blocks at or above -70 LUFS stored in arrival order
// and gated again in full. L of each block is remembered rather than taken again: the same numbers.
struct PlainIntegrator {
    std::vector<double> store, storeLufs;
    double blockSum = 0.0;
    void Add(double z) {
        if (LoudnessLufs(z) >= -70.0) {
            blockSum += z;
            store.push_back(z);
            storeLufs.push_back(LoudnessLufs(z));
        }
    }
    double Value() const {
        const double threshold = LoudnessLufs(blockSum / static_cast<double>(store.size())) + -10.0;
        double sum = 0.0, count = 0.0;
        for (size_t i = 0; i < store.size(); ++i)
            if (storeLufs[i] >= threshold) {
                sum += store[i];
                count += 1.0;
            }
        return LoudnessLufs(sum / count);
    }
};

// The loudness range as written: store, gate a copy, sort it, pick the percentiles by index.
struct PlainRange {
    std::vector<double> store;
    double runningSum = 0.0, gatedLufs = 0.0;
    void Add(double z) {
        if (LoudnessLufs(z) >= -70.0) {
            runningSum += z;
            store.push_back(z);
            gatedLufs = LoudnessLufs(runningSum / static_cast<double>(store.size()));
        }
    }
    double Value() const {
        const double threshold = gatedLufs + -20.0;
        std::vector<double> work;
        for (double v : store)
            if (LoudnessLufs(v) >= threshold) work.push_back(v);
        std::sort(work.begin(), work.end());
        const int k = static_cast<int>(work.size());
        const int low = static_cast<int>(std::floor(10.0 * (k - 1) / 100.0 + 0.5));
        const int high = static_cast<int>(std::floor((k - 1) * 95.0 / 100.0 + 0.5));
        return LoudnessLufs(work[high]) - LoudnessLufs(work[low]);
    }
};

// Every counted block kept; gated and sorted on demand with the gate moved by `shiftLu`.
struct ExactReference {
    std::vector<double> ms, lufs;
    void Add(double z) {
        if (LoudnessLufs(z) >= -70.0) {
            ms.push_back(z);
            lufs.push_back(LoudnessLufs(z));
        }
    }
    double Mean() const {
        long double s = 0.0L;
        for (double v : ms) s += v;
        return static_cast<double>(s / ms.size());
    }
    double Integrated(double shiftLu) const {
        const double threshold = LoudnessLufs(Mean()) - 10.0 + shiftLu;
        long double s = 0.0L;
        size_t n = 0;
        for (size_t i = 0; i < ms.size(); ++i)
            if (lufs[i] >= threshold) {
                s += ms[i];
                ++n;
            }
        return LoudnessLufs(static_cast<double>(s / n));
    }
    // Loudness of the low and high percentile for the relative gate moved by shiftLu.
    std::pair<double, double> Percentiles(double shiftLu) const {
        const double threshold = LoudnessLufs(Mean()) - 20.0 + shiftLu;
        std::vector<double> gated;
        for (double l : lufs)
            if (l >= threshold) gated.push_back(l);
        std::sort(gated.begin(), gated.end());
        const double k1 = static_cast<double>(gated.size() - 1);
        return {gated[static_cast<size_t>(std::floor(0.10 * k1 + 0.5))],
                gated[static_cast<size_t>(std::floor(0.95 * k1 + 0.5))]};
    }
    double Range(double shiftLu) const {
        const auto p = Percentiles(shiftLu);
        return p.second - p.first;
    }
};

// A varied programme, one block at a time: scenes of 2 s to 10 min at -60 to -10 LUFS with the blocks
// spread around the scene's level, digital silence and passages below the absolute gate in between.
class BlockProgramme {
  public:
    BlockProgramme(std::uint64_t seed, double spreadLu) : mRng(seed), mSpread(0.0, spreadLu) {}
    double Next() {
        if (mLeft-- <= 0) {
            mLeft = std::uniform_int_distribution<int>(20, 6000)(mRng);
            const double kind = std::uniform_real_distribution<double>(0.0, 1.0)(mRng);
            mLevel = kind < 0.05  ? -1000.0
                     : kind < 0.1 ? -85.0
                                  : std::uniform_real_distribution<double>(-60.0, -10.0)(mRng);
        }
        return mLevel < -900.0 ? 0.0 : Ms(mLevel + mSpread(mRng));
    }

  private:
    std::mt19937_64 mRng;
    std::normal_distribution<double> mSpread;
    int mLeft = 0;
    double mLevel = 0.0;
};

// Blocks per minute for a window of `seconds` with `overlap` at rate fs, as the engine hops.
long BlocksPerMinute(double fs, double seconds, double overlap) {
    const int length = static_cast<int>(seconds * fs);
    const long hop = static_cast<long>(std::floor((1.0 - overlap) * length)) + 1;
    return static_cast<long>(60.0 * fs / static_cast<double>(hop));
}

TEST(LongProgramme, BelowTheStoresCapacityEveryValueIsThePlainAlgorithms) {
    const struct {
        double fs;
        int minutes;
        std::uint64_t seed;
    } cases[] = {{44100.0, 10, 1}, {48000.0, 23, 2}, {96000.0, 41, 3}, {48000.0, 59, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minutes << " min at " << c.fs << " Hz");
        RMSInt integ;
        ASSERT_TRUE(integ.Init());
        PlainIntegrator plain;
        BlockProgramme momentary(c.seed, 2.0);
        const long blocks = c.minutes * BlocksPerMinute(c.fs, 0.4, EBUMM6::kMomentaryOverlap);
        ASSERT_LE(blocks, RMSInt::kCapacity);
        for (long i = 0; i < blocks; ++i) {
            const double z = momentary.Next();
            integ.Process(z);
            plain.Add(z);
            // The plain value costs a pass over the store: check every block early and late, else often.
            if (plain.store.empty() || !(i < 1500 || i % 11 == 0 || blocks - i < 300)) continue;
            ASSERT_EQ(integ.mCount, static_cast<std::int64_t>(plain.store.size())) << i;
            ASSERT_EQ(integ.mIntegratedLufs, plain.Value()) << i;
        }

        LRA lra;
        ASSERT_TRUE(lra.Init(EBUMM6::kLraCapacity));
        PlainRange plainRange;
        BlockProgramme shortTerm(c.seed + 100, 1.0);
        const long ranges = c.minutes * BlocksPerMinute(c.fs, 3.0, EBUMM6::kShortTermOverlap);
        ASSERT_LE(ranges, EBUMM6::kLraCapacity);
        for (long i = 0; i < ranges; ++i) {
            const double z = shortTerm.Next();
            lra.Process(z);
            plainRange.Add(z);
            if (plainRange.store.empty() || i % 2 != 0) continue;
            ASSERT_EQ(lra.mCount, static_cast<std::int64_t>(plainRange.store.size())) << i;
            ASSERT_EQ(lra.mRangeLu, plainRange.Value()) << i;
        }
    }
}

// The engine hands its own window results to both at every rate: the same bits as the plain algorithms
// fed those results.
TEST(LongProgramme, EngineAtEachRateMatchesThePlainAlgorithms) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(fs);
        EBUMM6 e;
        ASSERT_TRUE(e.Init(fs));
        PlainIntegrator plain;
        PlainRange plainRange;
        const long n = static_cast<long>(12.0 * fs);
        for (long i = 0; i < n; ++i) {
            const double amp = testsig::AmplitudeForLufs(-40.0 + 30.0 * std::fabs(std::sin(i / fs)));
            const double x = testsig::Sine(amp, 997.0, fs, i);
            ProcessFrame_M(e, x, 0.5 * x, 0, 0, 0, 0, 0);
            ProcessFrame(e, x, 0.5 * x, 0, 0, 0, 0, 0, 1);
            if (e.mMomentary.mReady) plain.Add(e.mMomentary.mResult);
            if (e.mShortTerm.mReady) plainRange.Add(e.mShortTerm.mResult);
        }
        ASSERT_GT(plainRange.store.size(), 5u);
        EXPECT_EQ(e.mIntegrator.mIntegratedLufs, plain.Value());
        EXPECT_EQ(e.mLra.mRangeLu, plainRange.Value());
    }
}

// The two long-term measurements and their exact references, fed the same blocks.
struct Measurement {
    Measurement() {
        EXPECT_TRUE(integ.Init());
        EXPECT_TRUE(lra.Init(EBUMM6::kLraCapacity));
    }
    void Momentary(double z) {
        integ.Process(z);
        exact.Add(z);
    }
    void ShortTerm(double z) {
        lra.Process(z);
        exactRange.Add(z);
    }

    // Against the exact computation over all blocks: within the stated bounds (the relative gate lowered by
    // less than one bin, each percentile within half a bin) and within the tolerances a user can rely on,
    // 0.001 LU integrated and 0.01 LU range.
    void ExpectWithinStatedError() const {
        ASSERT_EQ(integ.mCount, static_cast<std::int64_t>(exact.ms.size()));
        ASSERT_EQ(lra.mCount, static_cast<std::int64_t>(exactRange.ms.size()));
        // Slack for the double rounding of the engines' running sums, which moves their gates by ~1e-9 LU.
        const double slack = 1e-7;
        EXPECT_NEAR(integ.mIntegratedLufs, exact.Integrated(0.0), 0.001);
        EXPECT_GE(integ.mIntegratedLufs, exact.Integrated(-kBinLu - slack) - 1e-9);
        EXPECT_LE(integ.mIntegratedLufs, exact.Integrated(slack) + 1e-9);

        EXPECT_NEAR(lra.mRangeLu, exactRange.Range(0.0), 0.01);
        const auto upper = exactRange.Percentiles(slack);
        const auto lower = exactRange.Percentiles(-kBinLu - slack);
        EXPECT_GE(lra.mRangeLu, lower.second - upper.first - kBinLu - 1e-9);
        EXPECT_LE(lra.mRangeLu, upper.second - lower.first + kBinLu + 1e-9);
    }

    RMSInt integ;
    LRA lra;
    ExactReference exact, exactRange;
};

TEST(LongProgramme, BeyondTheStoresEveryBlockCountsWithinTheStatedError) {
    Measurement m;
    BlockProgramme momentary(7, 2.0), shortTerm(8, 1.0);
    // 10 momentary blocks a second, 1 short-term block; checked at 70 min, 3 h and 24 h.
    long minute = 0;
    for (const long until : {70L, 180L, 1440L}) {
        for (; minute < until; ++minute) {
            for (int i = 0; i < 600; ++i) m.Momentary(momentary.Next());
            for (int i = 0; i < 60; ++i) m.ShortTerm(shortTerm.Next());
        }
        SCOPED_TRACE(testing::Message() << until << " min");
        m.ExpectWithinStatedError();
    }
}

// 40 minutes of noise at one level, then 30 minutes 10 dB lower: the whole programme counts.
TEST(LongProgramme, SeventyMinutesLoudThenQuietReadsTheWholeProgramme) {
    Measurement m;
    std::mt19937_64 rng(70);
    std::normal_distribution<double> momentarySpread(0.0, 0.3), shortTermSpread(0.0, 0.1);
    for (int second = 0; second < 70 * 60; ++second) {
        const double level = second < 40 * 60 ? -28.2 : -38.2;
        for (int i = 0; i < 10; ++i) m.Momentary(Ms(level + momentarySpread(rng)));
        m.ShortTerm(Ms(level + shortTermSpread(rng)));
    }
    EXPECT_NEAR(m.integ.mIntegratedLufs, -30.3, 0.05);
    EXPECT_NEAR(m.lra.mRangeLu, 10.1, 0.15);
    m.ExpectWithinStatedError();
}

TEST(LongProgramme, SilenceAndProgrammeBelowTheGateNeverCount) {
    Measurement m;
    // Two hours below the absolute gate, half of it digital silence: nothing counts.
    for (long i = 0; i < 72000; ++i) {
        const double z = i % 2 ? 0.0 : Ms(-75.0 - (i % 20));
        m.integ.Process(z);
        if (i % 10 == 0) m.lra.Process(z);
    }
    EXPECT_EQ(m.integ.mCount, 0);
    EXPECT_EQ(m.integ.mIntegratedLufs, -141.0);
    EXPECT_EQ(m.lra.mCount, 0);
    EXPECT_EQ(m.lra.mRangeLu, 0.0);

    // Two hours alternating 10 minutes of programme and 10 of silence: only the programme counts.
    BlockProgramme programme(9, 1.5);
    for (long i = 0; i < 72000; ++i) {
        const double z = (i / 6000) % 2 ? 0.0 : programme.Next();
        m.Momentary(z);
        if (i % 10 == 0) m.ShortTerm(z);
    }
    m.ExpectWithinStatedError();
}

TEST(LongProgramme, ResetInALongRunStartsAFreshExactMeasurement) {
    // Small stores, so that both stages are passed before and after the reset in little time.
    RMSInt integ, fresh;
    LRA lra, freshRange;
    ASSERT_TRUE(integ.Init(2000));
    ASSERT_TRUE(fresh.Init(2000));
    ASSERT_TRUE(lra.Init(200));
    ASSERT_TRUE(freshRange.Init(200));
    BlockProgramme before(10, 2.0);
    for (long i = 0; i < 5000; ++i) {
        const double z = before.Next();
        integ.Process(z);
        if (i % 10 == 0) lra.Process(z);
    }
    integ.Reset();
    lra.Reset();
    EXPECT_EQ(integ.mIntegratedLufs, -141.0);
    EXPECT_EQ(lra.mCount, 0);
    // Through both stages again, every value is the bits of an instance that never measured before.
    BlockProgramme after(11, 2.0);
    for (long i = 0; i < 6000; ++i) {
        const double z = after.Next();
        integ.Process(z);
        fresh.Process(z);
        ASSERT_EQ(integ.mIntegratedLufs, fresh.mIntegratedLufs) << i;
        ASSERT_EQ(integ.mCount, fresh.mCount) << i;
        lra.Process(z);
        freshRange.Process(z);
        ASSERT_EQ(lra.mRangeLu, freshRange.mRangeLu) << i;
    }
    EXPECT_GT(fresh.mCount, 2000);
    EXPECT_GT(freshRange.mCount, 200);
}

// The worst case: blocks piled up just below the relative threshold, the one place where the histogram
// cannot tell gated from not gated. The result still lies between the exact values for the threshold and
// for the threshold one bin lower, and within 10 log10(1 + e / n) LU of the exact value.
TEST(LongProgramme, BlocksPiledAtTheRelativeGateStayWithinTheBound) {
    RMSInt integ;
    ASSERT_TRUE(integ.Init(100));
    ExactReference exact;
    for (int i = 0; i < 1000; ++i) {
        const double z = Ms(-20.0 + 0.01 * (i % 7));
        integ.Process(z);
        exact.Add(z);
    }
    // 300 equal blocks below the relative threshold they themselves produce, inside its bin.
    const double loudSum = exact.Mean() * 1000.0;
    double pile = Ms(-30.0);
    for (int i = 0; i < 100; ++i) {
        const double threshold = LoudnessLufs((loudSum + 300.0 * pile) / 1300.0) - 10.0;
        const double inBin = (threshold - LoudnessHistogram::kLowestLufs) * LoudnessHistogram::kBinsPerLu;
        pile = Ms(threshold - 0.5 * kBinLu * (inBin - std::floor(inBin)));
    }
    for (int i = 0; i < 300; ++i) {
        integ.Process(pile);
        exact.Add(pile);
    }
    const double threshold = LoudnessLufs(exact.Mean()) - 10.0;
    long below = 0, gated = 0;
    for (double l : exact.lufs) {
        below += l < threshold && l >= threshold - kBinLu;
        gated += l >= threshold;
    }
    const double error = std::fabs(integ.mIntegratedLufs - exact.Integrated(0.0));
    EXPECT_GT(error, 0.001);  // the pile really is misjudged...
    EXPECT_LE(error, 10.0 * std::log10(1.0 + static_cast<double>(below) / gated) + 1e-9);  // ...but bounded
    EXPECT_GE(integ.mIntegratedLufs, exact.Integrated(-kBinLu) - 1e-9);
    EXPECT_LE(integ.mIntegratedLufs, exact.Integrated(0.0) + 1e-9);
}

}  // namespace
