// After a long, loud programme a reset leaves nothing of its measurements behind: fed the same new audio,
// the engine reads to the bit what a freshly initialised engine reads that goes on from the same signal
// history (the true-peak interpolators and the K-weighting, which a reset keeps). Neither the windows'
// rings, nor the integrator's and the loudness range's stores and histograms, are cleared by a reset, so
// these tests are what shows that none of their old contents is ever read again.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "meters/EBUMM6.h"
#include "meters/LRA.h"
#include "meters/LoudnessHistogram.h"
#include "meters/RMSMM6.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRates[] = {44100.0, 48000.0, 192000.0, 384000.0};
// Runs of irregular lengths, as hosts hand them over, across the interpolators' 128-frame runs.
constexpr int kRuns[] = {64, 1000, 37, 128, 129, 4096, 1, 513};

// Six channels of programme: noise and a tone whose level moves every half second, so that the
// integrator gates and the loudness range has a range. `loud` lifts everything by 20 dB. The tones turn
// as phasors and the noise is a xorshift sequence, so that long programmes at 384 kHz cost little.
class Programme {
  public:
    Programme(double rate, std::uint64_t seed, bool loud)
        : mHalfSecond(static_cast<long>(rate / 2.0)),
          mNoise(0x9E3779B97F4A7C15ull * (seed + 1)),
          mGain(loud ? 10.0 : 1.0) {
        for (int k = 0; k < 6; ++k) {
            const double w = 2.0 * kPi * (440.0 + 150.0 * k) / rate;
            mStepCos[k] = std::cos(w);
            mStepSin[k] = std::sin(w);
            mCos[k] = 1.0;
            mSin[k] = 0.0;
        }
    }

    // The next n frames into six channels of at least n samples each.
    void Next(int n, std::vector<std::vector<double>>& ch) {
        for (int i = 0; i < n; ++i, ++mFrame) {
            const double level = mGain * 0.02 * (1.0 + 3.0 * ((mFrame / mHalfSecond) % 4));
            for (int k = 0; k < 6; ++k) {
                mNoise ^= mNoise << 13;
                mNoise ^= mNoise >> 7;
                mNoise ^= mNoise << 17;
                const double noise = static_cast<double>(mNoise >> 11) * 0x1.0p-52 - 1.0;  // [-1, 1)
                ch[k][i] = level * (0.5 * noise + mSin[k]);
                const double c = mCos[k] * mStepCos[k] - mSin[k] * mStepSin[k];
                mSin[k] = mSin[k] * mStepCos[k] + mCos[k] * mStepSin[k];
                mCos[k] = c;
            }
        }
    }

  private:
    long mHalfSecond;
    std::uint64_t mNoise;
    double mGain;
    double mCos[6], mSin[6], mStepCos[6], mStepSin[6];
    long mFrame = 0;
};

std::vector<std::vector<double>> Channels() {
    return std::vector<std::vector<double>>(6, std::vector<double>(4096));
}

void Slots(const std::vector<std::vector<double>>& ch, const double* slots[6]) {
    for (int k = 0; k < 6; ++k) slots[k] = ch[k].data();
}

// Everything of the EBU engine that a reading or the next frame depends on.
std::vector<double> EbuReadings(const EBUMM6& e) {
    std::vector<double> v;
    for (int k = 0; k < 6; ++k) {
        v.insert(v.end(), {e.mTruePeak[k].mTruePeakMax, e.mTruePeak[k].mPeak, e.mFollower[k].mHeld,
                           e.mFollower[k].mFollower});
        for (const KFilter* f : {&e.mPreFilter[k], &e.mRlbFilter[k]})
            v.insert(v.end(), {f->mX1, f->mX2, f->mY1, f->mY2});
    }
    for (const RMS_MS* w : {&e.mMomentary, &e.mShortTerm})
        v.insert(v.end(), {w->mResult, w->mMaxResult, double(w->mFull), double(w->mReady)});
    v.insert(v.end(), {double(e.mIntegrator.mCount), e.mIntegrator.mIntegratedLufs, double(e.mLra.mCount),
                       e.mLra.mRangeLu});
    return v;
}

std::vector<double> RmsReadings(RMSMM6& r) {
    std::vector<double> v = {
        r.mMeanSquare,   r.mMaxMeanSquare, r.mIntegratedMeanSquare,    r.mSamplePeak,     r.mPeakMax,
        double(r.mFull), double(r.mReady), double(r.mIntegratedCount), r.GetCrestVal_db()};
    for (int k = 0; k < 6; ++k)
        v.insert(v.end(), {r.mTruePeak[k].mTruePeakMax, r.mTruePeak[k].mPeak, r.mFollower[k].mHeld,
                           r.mFollower[k].mFollower});
    return v;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

void PlayEbu(EBUMM6& e, const double* const* slots, int n, int config) {
    e.ProcessBlock_M(slots, n, config);
    e.ProcessBlock(slots, n, config, 1);
}

void PlayRms(RMSMM6& r, const double* const* slots, int n, int config) {
    r.ProcessBlock_M(slots, n, config);
    r.ProcessBlock(slots, n, 1.0, config);
}

TEST(ResetAfterALongProgramme, EbuReadsWhatAFreshEngineReads) {
    for (double rate : kRates) {
        for (int config : {0, 3}) {
            EBUMM6 used, fresh;
            ASSERT_TRUE(used.Init(rate));
            std::vector<std::vector<double>> ch = Channels();
            const double* slots[6];
            Slots(ch, slots);
            // Five loud seconds in 5.1: both windows full many times over, blocks in the integrator
            // and the loudness range.
            Programme old(rate, 1, true);
            for (long done = 0, r = 0; done < static_cast<long>(5.0 * rate); ++r) {
                const int n = kRuns[r % 8];
                old.Next(n, ch);
                PlayEbu(used, slots, n, 3);
                done += n;
            }
            ASSERT_GT(used.mLra.mCount, 1);
            used.Reset();
            ASSERT_TRUE(fresh.Init(rate));
            for (int k = 0; k < 6; ++k) {
                fresh.mTruePeak[k] = used.mTruePeak[k];
                fresh.mPreFilter[k] = used.mPreFilter[k];
                fresh.mRlbFilter[k] = used.mRlbFilter[k];
            }
            // Four quieter seconds: the windows fill and hop again, new blocks are gated and ranged.
            Programme next(rate, 2, false);
            for (long done = 0, r = 3; done < static_cast<long>(4.0 * rate); ++r) {
                const int n = kRuns[r % 8];
                next.Next(n, ch);
                PlayEbu(used, slots, n, config);
                PlayEbu(fresh, slots, n, config);
                done += n;
                ASSERT_TRUE(SameBits(EbuReadings(used), EbuReadings(fresh)))
                    << rate << " Hz, config " << config << ", frame " << done;
            }
            EXPECT_GT(fresh.mIntegrator.mCount, 20) << rate;
            EXPECT_GT(fresh.mLra.mCount, 0) << rate;
        }
    }
}

// The RMS engine through a reset and through window changes, which reset too: a shorter window after
// a longer one leaves old powers in the ring beyond it, a longer one after a shorter one reaches
// slots the shorter one never wrote since the reset.
TEST(ResetAfterALongProgramme, RmsReadsWhatAFreshEngineReads) {
    struct Case {
        double oldWindowMs, newWindowMs;  // equal: a plain reset
        int config;
    };
    const Case cases[] = {
        {3000.0, 3000.0, 4}, {3000.0, 10.0, 0}, {10.0, 3000.0, 4}, {300.0, 1234.5, 1}, {2000.0, 300.0, 3}};
    for (double rate : kRates) {
        for (const Case& c : cases) {
            RMSMM6 used, fresh;
            ASSERT_TRUE(used.Init(10.0, 3000.0, 0.75, rate));
            used.SetWindow(c.oldWindowMs);
            std::vector<std::vector<double>> ch = Channels();
            const double* slots[6];
            Slots(ch, slots);
            Programme old(rate, 3, true);
            for (long done = 0, r = 0; done < static_cast<long>(3.5 * rate); ++r) {
                const int n = kRuns[r % 8];
                old.Next(n, ch);
                PlayRms(used, slots, n, 4);
                done += n;
            }
            ASSERT_EQ(used.mFull, 1);
            if (c.newWindowMs == c.oldWindowMs)
                used.Reset();
            else
                used.SetWindow(c.newWindowMs);
            ASSERT_TRUE(fresh.Init(10.0, 3000.0, 0.75, rate));
            fresh.SetWindow(c.newWindowMs);
            for (int k = 0; k < 6; ++k) fresh.mTruePeak[k] = used.mTruePeak[k];
            Programme next(rate, 4, false);
            for (long done = 0, r = 5; done < static_cast<long>(3.5 * rate); ++r) {
                const int n = kRuns[r % 8];
                next.Next(n, ch);
                PlayRms(used, slots, n, c.config);
                PlayRms(fresh, slots, n, c.config);
                done += n;
                ASSERT_TRUE(SameBits(RmsReadings(used), RmsReadings(fresh)))
                    << rate << " Hz, window " << c.oldWindowMs << " -> " << c.newWindowMs << " ms, frame "
                    << done;
            }
            EXPECT_EQ(fresh.mFull, 1) << rate;
        }
    }
}

// An Init again at the same rate keeps the engines' arrays; it must still start from nothing at all,
// the signal history included, as an engine that never measured.
TEST(ResetAfterALongProgramme, InitAgainAtTheSameRateIsAFreshEngine) {
    for (double rate : {48000.0, 192000.0}) {
        EBUMM6 ebu, freshEbu;
        RMSMM6 rms, freshRms;
        ASSERT_TRUE(ebu.Init(rate));
        ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, rate));
        std::vector<std::vector<double>> ch = Channels();
        const double* slots[6];
        Slots(ch, slots);
        Programme old(rate, 5, true);
        for (long done = 0, r = 0; done < static_cast<long>(4.0 * rate); ++r) {
            const int n = kRuns[r % 8];
            old.Next(n, ch);
            PlayEbu(ebu, slots, n, 3);
            PlayRms(rms, slots, n, 4);
            done += n;
        }
        ASSERT_TRUE(ebu.Init(rate));
        ASSERT_TRUE(rms.Init(10.0, 3000.0, 0.75, rate));
        ASSERT_TRUE(freshEbu.Init(rate));
        ASSERT_TRUE(freshRms.Init(10.0, 3000.0, 0.75, rate));
        Programme next(rate, 6, false);
        for (long done = 0, r = 1; done < static_cast<long>(3.5 * rate); ++r) {
            const int n = kRuns[r % 8];
            next.Next(n, ch);
            PlayEbu(ebu, slots, n, 3);
            PlayEbu(freshEbu, slots, n, 3);
            PlayRms(rms, slots, n, 4);
            PlayRms(freshRms, slots, n, 4);
            done += n;
            ASSERT_TRUE(SameBits(EbuReadings(ebu), EbuReadings(freshEbu))) << rate << " Hz, frame " << done;
            ASSERT_TRUE(SameBits(RmsReadings(rms), RmsReadings(freshRms))) << rate << " Hz, frame " << done;
        }
    }
}

// Every query a histogram answers, over all its bins and ranks.
struct HistogramAnswers {
    std::int64_t total;
    std::vector<std::int64_t> counts;
    std::vector<double> sums;
    std::vector<int> binsOfRank;
};

HistogramAnswers Answers(const LoudnessHistogram& h) {
    HistogramAnswers a{h.Total(), {}, {}, {}};
    for (int bin = 0; bin < h.Bins(); bin += bin < 100 ? 1 : 37) {
        a.counts.push_back(h.CountFrom(bin));
        a.sums.push_back(h.SumFrom(bin));
    }
    for (std::int64_t rank = 0; rank < h.Total(); rank += 1 + rank / 50)
        a.binsOfRank.push_back(h.BinOfRank(rank));
    return a;
}

// The histogram empties in constant time by moving to a new generation of its nodes. Also when the
// generations wrap, nodes written 2^32 resets ago must not come back.
TEST(ResetAfterALongProgramme, HistogramReadsWhatAFreshOneReads) {
    struct Case {
        const char* name;
        std::uint32_t skipTo;  // generation jumped to after the old blocks (0: none)
    };
    const Case cases[] = {{"next generation", 0}, {"across the wrap", 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        for (bool withSums : {false, true}) {
            LoudnessHistogram used, fresh;
            ASSERT_TRUE(used.Init(LRA::kHistogramBins, withSums));
            ASSERT_TRUE(fresh.Init(LRA::kHistogramBins, withSums));
            std::mt19937 rng(7);
            std::uniform_real_distribution<double> lufs(-75.0, 15.0);
            for (int i = 0; i < 20000; ++i) used.Add(lufs(rng), 0.001 * (1 + i % 13));
            if (c.skipTo != 0) used.SkipToGeneration(c.skipTo);  // as that many resets without blocks
            used.Reset();
            if (c.skipTo != 0) {
                EXPECT_EQ(used.Generation(), 0u) << c.name;
            }
            for (int i = 0; i < 50; ++i) used.Add(lufs(rng), 0.5);
            used.Reset();
            for (int i = 0; i < 3000; ++i) {
                const double l = lufs(rng) * 0.5 - 20.0;
                const double z = std::pow(10.0, l / 10.0);
                used.Add(l, z);
                fresh.Add(l, z);
            }
            const HistogramAnswers a = Answers(used), b = Answers(fresh);
            EXPECT_EQ(a.total, b.total) << c.name;
            EXPECT_EQ(a.counts, b.counts) << c.name << (withSums ? ", with sums" : "");
            EXPECT_EQ(a.binsOfRank, b.binsOfRank) << c.name << (withSums ? ", with sums" : "");
            ASSERT_EQ(a.sums.size(), b.sums.size());
            EXPECT_EQ(std::memcmp(a.sums.data(), b.sums.data(), a.sums.size() * sizeof(double)), 0)
                << c.name << (withSums ? ", with sums" : "");
        }
    }
}

}  // namespace
