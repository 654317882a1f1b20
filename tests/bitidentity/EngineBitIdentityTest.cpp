// The engines' block paths against the plain per-sample reference, on every instruction set this
// processor has: generated programmes (noise, sweep, silence, clicks, full scale) of 1 to 6 channels
// at 32, 44.1, 48, 96 and 192 kHz, every channel configuration of both engines, fed in irregular runs
// (the run pattern decides where the integration pauses, so the reference is fed per sample but
// pauses at the same frames).
// After every run each measurement must equal the reference's to the bit (NaN counts as equal to NaN
// whatever its payload: only non-finite input makes one, and no reading depends on the payload).

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "meters/SimdKernels.h"
#include "tests/bitidentity/Programmes.h"
#include "tests/bitidentity/ReferenceEngines.h"

namespace {

using bitidentity::Programme;

// Every reading of an engine that the driver, the display feed or a host can see, plus the filter
// histories that carry over between runs.
template <typename Engine>
std::vector<double> EbuReadings(const Engine& e) {
    std::vector<double> v;
    for (int k = 0; k < 6; ++k) {
        v.insert(v.end(), {e.mTruePeak[k].mTruePeakMax, e.mTruePeak[k].mPeak, e.mFollower[k].mHeld,
                           e.mFollower[k].mFollower});
        for (const auto* f : {&e.mPreFilter[k], &e.mRlbFilter[k]})
            v.insert(v.end(), {f->mX0, f->mX1, f->mX2, f->mY0, f->mY1, f->mY2});
    }
    for (const auto* w : {&e.mMomentary, &e.mShortTerm})
        v.insert(v.end(), {w->mResult, w->mMaxResult, double(w->mFull), double(w->mReady)});
    v.insert(v.end(), {double(e.mIntegrator.mCount), e.mIntegrator.mIntegratedLufs, double(e.mLra.mCount),
                       e.mLra.mRangeLu});
    return v;
}

template <typename Engine>
std::vector<double> RmsReadings(const Engine& r) {
    std::vector<double> v = {r.mMeanSquare, r.mMaxMeanSquare, r.mIntegratedMeanSquare, r.mSamplePeak,
                             r.mPeakMax,    double(r.mFull),  double(r.mReady)};
    for (int k = 0; k < 6; ++k)
        v.insert(v.end(), {r.mTruePeak[k].mTruePeakMax, r.mTruePeak[k].mPeak, r.mFollower[k].mHeld,
                           r.mFollower[k].mFollower});
    return v;
}

// Index of the first reading that differs in its bits (both NaN counts as equal), or -1.
int FirstDifference(const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) && std::isnan(b[i])) continue;
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return static_cast<int>(i);
    }
    return -1;
}

struct Case {
    Programme programme;
    int channels;
    double rate;
    int ebuConfig;
    int rmsConfig;
    double seconds;
};

// Five programmes at each of five rates; the channel count and the configurations rotate so every
// configuration of both engines meets several programmes and rates. 48 kHz runs long enough for
// short-term results and the loudness range.
std::vector<Case> Cases() {
    const double rates[] = {32000.0, 44100.0, 48000.0, 96000.0, 192000.0};
    const Programme programmes[] = {Programme::kNoise, Programme::kSweep, Programme::kSilence,
                                    Programme::kClicks, Programme::kFullScale};
    std::vector<Case> cases;
    int index = 0;
    for (double rate : rates) {
        for (Programme p : programmes) {
            const double seconds = rate == 48000.0 ? 3.1 : 0.45;
            cases.push_back({p, 1 + index % 6, rate, index % 4, index % 5, seconds});
            ++index;
        }
    }
    return cases;
}

std::vector<meters::SimdLevel> Levels() {
    std::vector<meters::SimdLevel> levels;
    for (int l = 0; l <= static_cast<int>(meters::SupportedSimdLevel()); ++l)
        levels.push_back(static_cast<meters::SimdLevel>(l));
    return levels;
}

class BitIdentity : public ::testing::Test {
  protected:
    void TearDown() override { meters::SetSimdLevel(meters::SupportedSimdLevel()); }

    // The programme as six slot arrays; slots past the channel count stay silent.
    static std::vector<std::vector<double>> Render(const Case& c) {
        const long length = static_cast<long>(c.seconds * c.rate);
        std::vector<std::vector<double>> slots(6, std::vector<double>(static_cast<std::size_t>(length), 0.0));
        for (int k = 0; k < c.channels; ++k)
            for (long i = 0; i < length; ++i)
                slots[k][i] = bitidentity::Sample(c.programme, k, i, c.rate, length);
        return slots;
    }

    static std::string Describe(const Case& c, meters::SimdLevel level, long frame) {
        return std::string(bitidentity::Name(c.programme)) + ", " + std::to_string(c.channels) + " ch, " +
               std::to_string(static_cast<int>(c.rate)) + " Hz, isa " +
               std::to_string(static_cast<int>(level)) + ", after frame " + std::to_string(frame);
    }
};

// Runs of 1 to 300 frames: shorter and longer than the engines' own 128-frame runs.
std::vector<int> Runs(long length, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<int> runs;
    for (long done = 0; done < length;) {
        const int n =
            static_cast<int>(std::min<long>(std::uniform_int_distribution<int>(1, 300)(rng), length - done));
        runs.push_back(n);
        done += n;
    }
    return runs;
}

// The integration pauses for a while, as in sync mode with the transport stopped; the RMS engine's
// true peak is switched off for a while, as its `enable` allows.
int IntegrateAt(long frame) {
    return (frame / 20000) % 5 == 3 ? 0 : 1;
}
double EnableAt(long frame) {
    return (frame / 15000) % 4 == 2 ? 0.0 : 1.0;
}

TEST_F(BitIdentity, EbuBlockPathEqualsPerSampleReference) {
    for (const Case& c : Cases()) {
        const auto audio = Render(c);
        const long length = static_cast<long>(audio[0].size());
        const std::vector<int> runs = Runs(length, static_cast<unsigned>(c.rate) + c.channels);

        // The reference's readings after each run.
        std::vector<std::vector<double>> expected;
        auto ref = std::make_unique<reference::EBU>();
        ref->Init(c.rate);
        long done = 0;
        for (int n : runs) {
            for (long i = done; i < done + n; ++i) {
                ref->Process_M(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                               c.ebuConfig);
                ref->Process(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                             c.ebuConfig, IntegrateAt(done));
            }
            done += n;
            expected.push_back(EbuReadings(*ref));
        }
        if (c.seconds > 3.0 && c.programme != Programme::kSilence && c.programme != Programme::kClicks) {
            EXPECT_GT(ref->mLra.mCount, 0) << "the case must reach the loudness range";
        }

        for (meters::SimdLevel level : Levels()) {
            ASSERT_TRUE(meters::SetSimdLevel(level));
            auto engine = std::make_unique<EBUMM6>();
            engine->Init(c.rate);
            done = 0;
            for (std::size_t r = 0; r < runs.size(); ++r) {
                const double* slots[6];
                for (int k = 0; k < 6; ++k) slots[k] = audio[k].data() + done;
                engine->ProcessBlock_M(slots, runs[r], c.ebuConfig);
                engine->ProcessBlock(slots, runs[r], c.ebuConfig, IntegrateAt(done));
                done += runs[r];
                ASSERT_EQ(FirstDifference(EbuReadings(*engine), expected[r]), -1)
                    << "EBU config " << c.ebuConfig << ", " << Describe(c, level, done);
            }
        }
    }
}

TEST_F(BitIdentity, RmsBlockPathEqualsPerSampleReference) {
    for (const Case& c : Cases()) {
        const auto audio = Render(c);
        const long length = static_cast<long>(audio[0].size());
        const std::vector<int> runs = Runs(length, static_cast<unsigned>(c.rate) + 7 * c.channels);
        const double windowMs = c.rate == 48000.0 ? 3000.0 : 300.0;

        std::vector<std::vector<double>> expected;
        auto ref = std::make_unique<reference::RMS>();
        ref->Init(windowMs, c.rate);
        long done = 0;
        for (int n : runs) {
            for (long i = done; i < done + n; ++i) {
                ref->Process_M(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                               c.rmsConfig);
                ref->Process(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                             EnableAt(done), c.rmsConfig);
            }
            done += n;
            expected.push_back(RmsReadings(*ref));
        }

        for (meters::SimdLevel level : Levels()) {
            ASSERT_TRUE(meters::SetSimdLevel(level));
            auto engine = std::make_unique<RMSMM6>();
            engine->Init(10.0, 3000.0, 0.75, c.rate);
            engine->SetWindow(windowMs);
            done = 0;
            for (std::size_t r = 0; r < runs.size(); ++r) {
                const double* slots[6];
                for (int k = 0; k < 6; ++k) slots[k] = audio[k].data() + done;
                engine->ProcessBlock_M(slots, runs[r], c.rmsConfig);
                engine->ProcessBlock(slots, runs[r], EnableAt(done), c.rmsConfig);
                done += runs[r];
                ASSERT_EQ(FirstDifference(RmsReadings(*engine), expected[r]), -1)
                    << "RMS config " << c.rmsConfig << ", " << Describe(c, level, done);
            }
        }
    }
}

// A configuration change without a reset leaves the filters of slots that fall silent ringing: they
// must keep running on 0.0 rather than be skipped as silent.
TEST_F(BitIdentity, EbuFiltersOfDroppedSlotsKeepRinging) {
    Case c{Programme::kNoise, 6, 48000.0, 3, 0, 0.5};
    const auto audio = Render(c);
    for (meters::SimdLevel level : Levels()) {
        ASSERT_TRUE(meters::SetSimdLevel(level));
        auto engine = std::make_unique<EBUMM6>();
        auto ref = std::make_unique<reference::EBU>();
        engine->Init(c.rate);
        ref->Init(c.rate);
        for (long done = 0; done < 20000; done += 100) {
            const int config = done < 10000 ? 3 : 0;
            const double* slots[6];
            for (int k = 0; k < 6; ++k) slots[k] = audio[k].data() + done;
            engine->ProcessBlock_M(slots, 100, config);
            engine->ProcessBlock(slots, 100, config, 1);
            for (long i = done; i < done + 100; ++i) {
                ref->Process_M(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                               config);
                ref->Process(audio[0][i], audio[1][i], audio[2][i], audio[3][i], audio[4][i], audio[5][i],
                             config, 1);
            }
            ASSERT_EQ(FirstDifference(EbuReadings(*engine), EbuReadings(*ref)), -1)
                << Describe(c, level, done);
        }
    }
}

}  // namespace
