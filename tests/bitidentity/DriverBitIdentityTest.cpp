// The plug-in's run-wise driver against a per-sample driver over the reference engines: the same
// programmes through the host's float block entry in blocks of 1 to 3000 frames (shorter and longer
// than both refresh periods), with and without sync. At every output-parameter refresh the engine
// readings and every published value must equal the reference's at the same sample, to the bit.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"
#include "plugin/MeterMath.h"
#include "tests/bitidentity/Programmes.h"
#include "tests/bitidentity/ReferenceEngines.h"
#include "tests/plugin/PluginHost.h"

namespace {

using bitidentity::Programme;
using Published = std::vector<std::pair<int, double>>;

// One output-parameter refresh: the readings of the active engine and the values published.
struct Refresh {
    std::vector<double> readings;
    Published published;
};

template <typename Engine>
std::vector<double> Readings(const Engine& e, int type) {
    std::vector<double> v;
    if (type == 1) {
        for (int k = 0; k < 6; ++k)
            v.insert(v.end(), {e.mEbu->mTruePeak[k].mTruePeakMax, e.mEbu->mFollower[k].mHeld,
                               e.mEbu->mFollower[k].mFollower});
        v.insert(v.end(),
                 {e.mEbu->mMomentary.mResult, e.mEbu->mMomentary.mMaxResult, e.mEbu->mShortTerm.mResult,
                  e.mEbu->mShortTerm.mMaxResult, double(e.mEbu->mIntegrator.mCount),
                  e.mEbu->mIntegrator.mIntegratedLufs, e.mEbu->mLra.mRangeLu});
    } else {
        for (int k = 0; k < 6; ++k)
            v.insert(v.end(), {e.mRms->mTruePeak[k].mTruePeakMax, e.mRms->mFollower[k].mHeld,
                               e.mRms->mFollower[k].mFollower});
        v.insert(v.end(), {e.mRms->mMeanSquare, e.mRms->mMaxMeanSquare, e.mRms->mIntegratedMeanSquare,
                           e.mRms->mPeakMax});
    }
    return v;
}

struct ProductView {
    const EBUMM6* mEbu;
    const RMSMM6* mRms;
};
struct ReferenceView {
    const reference::EBU* mEbu;
    const reference::RMS* mRms;
};

// Quenlix recording each refresh as it publishes it.
class RecordingQuenlix : public TestQuenlix {
  public:
    void InformHostOfParamChange(int paramIdx, double value) override {
        TestQuenlix::InformHostOfParamChange(paramIdx, value);
        const int first = mType == 1 ? kOutEbuIl : kOutRmsIl;
        if (paramIdx == first)
            mRefreshes.push_back({Readings(ProductView{&GetEbuMeter(), &GetRmsMeter()}, mType), {}});
        if (!mRefreshes.empty()) mRefreshes.back().published.emplace_back(paramIdx, value);
    }
    int mType = 1;
    std::vector<Refresh> mRefreshes;
};

template <typename Detectors>
double Largest(const Detectors& d) {
    double m = 0.0;
    for (const auto& x : d)
        if (x.mTruePeakMax > m) m = x.mTruePeakMax;
    return m;
}

// The values the driver publishes, computed from the reference engines by the published formulas
// (RMS meter mode "RMS (dBFS)": every offset 0).
Published ReferencePublished(const ReferenceView& r, int type) {
    using quenlix::ClampTo;
    Published p;
    if (type == 1) {
        const reference::EBU& e = *r.mEbu;
        const double levels[6] = {
            RoundToTenth(e.mIntegrator.mIntegratedLufs),  RoundedLoudnessLufs(e.mMomentary.mResult),
            RoundedLoudnessLufs(e.mMomentary.mMaxResult), RoundedLoudnessLufs(e.mShortTerm.mResult),
            RoundedLoudnessLufs(e.mShortTerm.mMaxResult), LevelDb(Largest(e.mTruePeak))};
        for (int j = 0; j < 6; ++j) p.emplace_back(Quenlix::kOutEbuIl + j, ClampTo(levels[j], -60.0, 12.0));
        p.emplace_back(Quenlix::kOutEbuLra, ClampTo(RoundToTenth(e.mLra.mRangeLu), 0.0, 60.0));
    } else {
        const reference::RMS& m = *r.mRms;
        const double il = RoundedLevelDb(std::fabs(std::sqrt(m.mIntegratedMeanSquare)));
        const double levels[5] = {RoundedLevelDb(std::sqrt(m.mIntegratedMeanSquare)),
                                  RoundedLevelDb(std::sqrt(m.mMeanSquare)),
                                  RoundedLevelDb(std::sqrt(m.mMaxMeanSquare)), RoundedLevelDb(m.mPeakMax),
                                  RoundedLevelDb(Largest(m.mTruePeak))};
        for (int j = 0; j < 5; ++j) p.emplace_back(Quenlix::kOutRmsIl + j, ClampTo(levels[j], -60.0, 12.0));
        const double crest = il < -140.0 ? -144.0 : RoundedLevelDb(std::fabs(m.mPeakMax)) - il;
        p.emplace_back(Quenlix::kOutRmsCrest, ClampTo(crest, 0.0, 30.0));
    }
    return p;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct DriverCase {
    int type;
    int config;  // of the active type
    int channels;
    double rate;
    Programme programme;
    bool sync;
};

class DriverBitIdentity : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverBitIdentity, RefreshesEqualPerSampleReference) {
    const DriverCase c = GetParam();
    auto plug = std::make_unique<RecordingQuenlix>();
    plug->mType = c.type;
    PluginHost host(*plug, c.channels, 4096);
    host.SetSampleRateAndReset(c.rate);
    HostSetsParam(*plug, Quenlix::kType, c.type);
    HostSetsParam(*plug, c.type == 1 ? Quenlix::kEbuChannelConfig : Quenlix::kRmsChannelConfig, c.config);
    HostSetsParam(*plug, Quenlix::kSync, c.sync ? 1.0 : 0.0);

    auto ebu = std::make_unique<reference::EBU>();
    auto rms = std::make_unique<reference::RMS>();
    ebu->Init(c.rate);
    rms->Init(300.0, c.rate);
    const ReferenceView view{ebu.get(), rms.get()};
    std::vector<Refresh> expected;

    const long length = static_cast<long>(2.2 * c.rate);
    const int period = plug->GetParamPeriod();
    std::mt19937 rng(static_cast<unsigned>(c.rate) + c.channels + 10 * c.type);
    long counter = 0;
    for (long done = 0; done < length;) {
        const int n =
            static_cast<int>(std::min<long>(std::uniform_int_distribution<int>(1, 3000)(rng), length - done));
        const bool running = std::uniform_int_distribution<int>(0, 3)(rng) != 0;
        plug->mTransportRunning = running;
        for (int k = 0; k < c.channels; ++k)
            for (int i = 0; i < n; ++i)
                host.In(k)[i] =
                    static_cast<float>(bitidentity::Sample(c.programme, k, done + i, c.rate, length));
        host.Block(n);

        // The per-sample driver: non-finite samples measure as silence, missing channels as 0.0.
        for (int i = 0; i < n; ++i) {
            double s[6] = {};
            for (int k = 0; k < c.channels; ++k) {
                const double x = host.In(k)[i];
                s[k] = std::isfinite(x) ? x : 0.0;
            }
            const bool integrate = !c.sync || running;
            if (c.type == 1) {
                ebu->Process_M(s[0], s[1], s[2], s[3], s[4], s[5], c.config);
                ebu->Process(s[0], s[1], s[2], s[3], s[4], s[5], c.config, integrate ? 1 : 0);
            } else {
                rms->Process_M(s[0], s[1], s[2], s[3], s[4], s[5], c.config);
                if (integrate) rms->Process(s[0], s[1], s[2], s[3], s[4], s[5], 1.0, c.config);
            }
            if (++counter >= period) {
                counter = 0;
                expected.push_back({Readings(view, c.type), ReferencePublished(view, c.type)});
            }
        }
        done += n;
    }

    ASSERT_EQ(plug->mRefreshes.size(), expected.size());
    ASSERT_GT(expected.size(), 30u);
    for (std::size_t r = 0; r < expected.size(); ++r) {
        const Refresh& got = plug->mRefreshes[r];
        const Refresh& want = expected[r];
        ASSERT_EQ(got.readings.size(), want.readings.size());
        for (std::size_t j = 0; j < want.readings.size(); ++j)
            ASSERT_TRUE(SameBits(got.readings[j], want.readings[j]))
                << "refresh " << r << ", reading " << j << ": " << got.readings[j] << " vs "
                << want.readings[j];
        ASSERT_EQ(got.published.size(), want.published.size()) << "refresh " << r;
        for (std::size_t j = 0; j < want.published.size(); ++j) {
            EXPECT_EQ(got.published[j].first, want.published[j].first);
            ASSERT_TRUE(SameBits(got.published[j].second, want.published[j].second))
                << "refresh " << r << ", parameter " << want.published[j].first << ": "
                << got.published[j].second << " vs " << want.published[j].second;
        }
    }
}

std::string CaseName(const ::testing::TestParamInfo<DriverCase>& info) {
    const DriverCase& c = info.param;
    return std::string(c.type == 1 ? "Ebu" : "Rms") + std::to_string(c.config) + "_" +
           std::to_string(c.channels) + "ch_" + std::to_string(static_cast<int>(c.rate)) + "_" +
           bitidentity::Name(c.programme) + (c.sync ? "_sync" : "");
}

INSTANTIATE_TEST_SUITE_P(Programmes, DriverBitIdentity,
                         ::testing::Values(DriverCase{1, 0, 2, 48000.0, Programme::kNoise, false},
                                           DriverCase{1, 3, 6, 44100.0, Programme::kClicks, false},
                                           DriverCase{1, 2, 5, 96000.0, Programme::kSweep, true},
                                           DriverCase{1, 1, 3, 32000.0, Programme::kFullScale, false},
                                           DriverCase{0, 0, 2, 48000.0, Programme::kClicks, true},
                                           DriverCase{0, 4, 6, 44100.0, Programme::kNoise, false},
                                           DriverCase{0, 2, 1, 32000.0, Programme::kSweep, false},
                                           DriverCase{0, 3, 4, 192000.0, Programme::kFullScale, false}),
                         CaseName);

}  // namespace
