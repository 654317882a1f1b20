// The processing driver as a host drives it: transport sync, refresh cadence, published output
// parameters and the untouched pass-through.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "PluginHost.h"
#include "common/Levels.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"

namespace {

constexpr double kRate = 44100.0;

double OutputControlValue(Quenlix& plug, int paramIdx) {
    // Hidden value fields 1 .. 13 bound to the output parameters in index order.
    const int slot = paramIdx < Quenlix::kEbuChannelConfig ? paramIdx - Quenlix::kOutRmsIl
                                                           : 6 + paramIdx - Quenlix::kOutEbuIl;
    return ControlValue(plug, 1 + slot);
}

class Sync : public ::testing::Test {
  protected:
    void SetUp() override { HostSetsParam(plug, Quenlix::kSync, 1); }

    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(Sync, StoppedTransportFreezesRmsMeasurementsWhilePeakMetersMove) {
    plug.mTransportRunning = true;
    host.RunSine(44100, 0.1, 1000.0);
    const double il = ParamValue(plug, Quenlix::kOutRmsIl);
    const double ml = ParamValue(plug, Quenlix::kOutRmsMl);
    const double mlMax = ParamValue(plug, Quenlix::kOutRmsMlMax);
    const double peakMax = ParamValue(plug, Quenlix::kOutRmsPeakMax);
    const double led = ControlValue(plug, layout::LedMeter(0));
    ASSERT_GT(il, -60.0);

    plug.mTransportRunning = false;
    host.RunSine(44100, 0.5, 1000.0);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsIl), il);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsMl), ml);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsMlMax), mlMax);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsPeakMax), peakMax);
    EXPECT_GT(ControlValue(plug, layout::LedMeter(0)), led);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), " -6.0");

    plug.mTransportRunning = true;
    host.RunSine(44100, 0.5, 1000.0);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutRmsMl), ml);
}

TEST_F(Sync, StoppedTransportFreezesEbuIntegrationWhileMomentaryKeepsUpdating) {
    HostSetsParam(plug, Quenlix::kType, 1);
    plug.mTransportRunning = true;
    host.Run(5 * 44100, 1024, [](int, long i) {
        // Two levels so the loudness range is not zero.
        const double a = (i / 44100) % 2 ? 0.3 : 0.05;
        return static_cast<float>(a * std::sin(2.0 * M_PI * 997.0 * i / kRate));
    });
    const double il = ParamValue(plug, Quenlix::kOutEbuIl);
    const double lra = ParamValue(plug, Quenlix::kOutEbuLra);
    const double ml = ParamValue(plug, Quenlix::kOutEbuMl);
    const int blocks = plug.GetEbuMeter().mIntegrator.mCount;
    ASSERT_GT(il, -60.0);
    ASSERT_GT(lra, 0.0);

    plug.mTransportRunning = false;
    host.RunSine(4 * 44100, 0.9, 997.0);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutEbuIl), il);
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutEbuLra), lra);
    EXPECT_EQ(plug.GetEbuMeter().mIntegrator.mCount, blocks);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutEbuMl), ml);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutEbuSl), ml);

    plug.mTransportRunning = true;
    host.RunSine(44100, 0.9, 997.0);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutEbuIl), il);
}

TEST_F(Sync, OffIgnoresTheTransport) {
    HostSetsParam(plug, Quenlix::kSync, 0);
    plug.mTransportRunning = false;
    host.RunSine(44100, 0.1, 1000.0);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutRmsIl), -60.0);
    HostSetsParam(plug, Quenlix::kType, 1);
    host.RunSine(44100, 0.1, 1000.0);
    EXPECT_GT(ParamValue(plug, Quenlix::kOutEbuIl), -60.0);
    EXPECT_GT(plug.mGetTimeCalls, 0);
}

class RefreshCadence : public ::testing::Test {
  protected:
    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(RefreshCadence, OneSampleBlocksRefreshTheDisplayEveryPeriodOfCalls) {
    // A rising ramp: every display refresh shows a new LED value.
    std::vector<long> changes;
    double last = ControlValue(plug, layout::LedMeter(0));
    for (long call = 1; call <= 3 * 1102 + 50; ++call) {
        host.In(0)[0] = static_cast<float>(0.01 + 1e-5 * call);
        host.Block(1);
        const double v = ControlValue(plug, layout::LedMeter(0));
        if (v != last) changes.push_back(call);
        last = v;
    }
    EXPECT_EQ(changes, (std::vector<long>{1102, 2204, 3306}));
    EXPECT_EQ(plug.mInformCount, 6);  // one RMS publication (six parameters) at call 2205
}

TEST_F(RefreshCadence, CountersCarryOverFromBlockToBlock) {
    host.RunConstant(2000, 0.1f, 1000);
    EXPECT_EQ(plug.mInformCount, 0);
    host.RunConstant(1000, 0.1f, 1000);
    EXPECT_EQ(plug.mInformCount, 6);
    EXPECT_EQ(plug.mInformsPerParam[Quenlix::kOutRmsCrest], 1);
    EXPECT_EQ(plug.mInformsPerParam[Quenlix::kOutEbuIl], 0);
}

TEST_F(RefreshCadence, ALongBlockRefreshesSeveralTimesInside) {
    // Sample i has magnitude (i + 1) / 10000; the last display refresh of the block is at sample 4408.
    host.Run(5000, 5000, [](int, long i) { return static_cast<float>((i + 1) / 10000.0); });
    EXPECT_EQ(plug.mInformCount, 12);
    const double atRefresh = LevelDb(static_cast<double>(static_cast<float>(4408 / 10000.0)));
    EXPECT_NEAR(ControlValue(plug, layout::LedMeter(0)), (atRefresh + 60.0) / 72.0, 1e-9);
}

TEST_F(RefreshCadence, EmptyBlocksChangeNothing) {
    host.RunConstant(1101, 0.1f);
    host.Block(0);
    host.Block(0);
    EXPECT_EQ(ControlValue(plug, layout::LedMeter(0)), 0.0);
    host.Block(1);
    EXPECT_GT(ControlValue(plug, layout::LedMeter(0)), 0.0);
}

TEST_F(RefreshCadence, DirectCallsWithoutFramesOrBuffersAreSafe) {
    double in[6][4], out[6][4];
    double* inputs[6];
    double* outputs[6];
    for (int c = 0; c < 6; ++c) {
        for (int i = 0; i < 4; ++i) {
            in[c][i] = 0.5;
            out[c][i] = -7.0;
        }
        inputs[c] = in[c];
        outputs[c] = out[c];
    }
    WDL_MutexLock lock(plug.GetMutex());
    plug.ProcessDoubleReplacing(inputs, outputs, -5);
    for (int c = 0; c < 6; ++c) EXPECT_EQ(out[c][0], -7.0);

    // Missing channel arrays count as silence; 1102 frames reach exactly one display refresh.
    plug.ProcessDoubleReplacing(nullptr, nullptr, 1102);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), "-inf");
    inputs[1] = nullptr;
    outputs[0] = nullptr;
    plug.ProcessDoubleReplacing(inputs, outputs, 4);
    EXPECT_EQ(out[0][0], -7.0);  // no output buffer: nothing written
    EXPECT_EQ(out[1][0], -7.0);  // no input buffer: nothing copied
    EXPECT_EQ(out[2][3], 0.5);
}

class PublishedOutputs : public ::testing::Test {
  protected:
    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(PublishedOutputs, PlusThreeModeRaisesRmsLevelsOnlyByExactlyThreeDb) {
    TestQuenlix plus3;
    PluginHost host3(plus3);
    // One channel measured, so the crest factor (3 dB for a sine) stays inside its published range.
    HostSetsParam(plug, Quenlix::kRmsChannelConfig, 1);
    HostSetsParam(plus3, Quenlix::kRmsChannelConfig, 1);
    HostSetsParam(plus3, Quenlix::kRmsMeterMode, 1);
    host.RunSine(2 * 44100, 0.05, 440.0);
    host3.RunSine(2 * 44100, 0.05, 440.0);
    for (int p : {Quenlix::kOutRmsIl, Quenlix::kOutRmsMl, Quenlix::kOutRmsMlMax})
        EXPECT_DOUBLE_EQ(ParamValue(plus3, p), ParamValue(plug, p) + 3.0) << p;
    for (int p : {Quenlix::kOutRmsPeakMax, Quenlix::kOutRmsTpMax})
        EXPECT_EQ(ParamValue(plus3, p), ParamValue(plug, p)) << p;
    EXPECT_DOUBLE_EQ(ParamValue(plug, Quenlix::kOutRmsCrest), 3.0);
    EXPECT_DOUBLE_EQ(ParamValue(plus3, Quenlix::kOutRmsCrest), 0.0);
}

TEST_F(PublishedOutputs, SilencePublishesBottomOfEveryRange) {
    host.RunConstant(44100, 0.0f);
    for (int p = Quenlix::kOutRmsIl; p <= Quenlix::kOutRmsTpMax; ++p) {
        EXPECT_EQ(ParamValue(plug, p), -60.0) << p;
        EXPECT_EQ(plug.mLastInformed[p], -60.0) << p;
        EXPECT_EQ(OutputControlValue(plug, p), 0.0) << p;
    }
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsCrest), 0.0);

    HostSetsParam(plug, Quenlix::kType, 1);
    host.RunConstant(4 * 44100, 0.0f);
    for (int p = Quenlix::kOutEbuIl; p <= Quenlix::kOutEbuTpMax; ++p) {
        EXPECT_EQ(ParamValue(plug, p), -60.0) << p;
        EXPECT_GT(plug.mInformsPerParam[p], 0) << p;
    }
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutEbuLra), 0.0);
}

TEST_F(PublishedOutputs, LevelsRoundToTheTenthBeforeClamping) {
    host.RunConstant(4410, Amplitude(-59.96));
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsPeakMax), -60.0);
    EXPECT_EQ(OutputControlValue(plug, Quenlix::kOutRmsPeakMax), 0.0);

    TestQuenlix loud;
    PluginHost loudHost(loud);
    loudHost.RunConstant(4410, Amplitude(12.04));
    EXPECT_EQ(ParamValue(loud, Quenlix::kOutRmsPeakMax), 12.0);
    EXPECT_EQ(OutputControlValue(loud, Quenlix::kOutRmsPeakMax), 1.0);

    TestQuenlix mid;
    PluginHost midHost(mid);
    midHost.RunConstant(4410, Amplitude(-12.34));
    EXPECT_DOUBLE_EQ(ParamValue(mid, Quenlix::kOutRmsPeakMax), -12.3);
    EXPECT_DOUBLE_EQ(OutputControlValue(mid, Quenlix::kOutRmsPeakMax), (-12.3 + 60.0) / 72.0);
}

TEST_F(PublishedOutputs, EbuTruePeakIsClampedButNotRounded) {
    HostSetsParam(plug, Quenlix::kType, 1);
    host.RunConstant(4410, Amplitude(15.0));
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutEbuTpMax), 12.0);

    TestQuenlix quiet;
    PluginHost quietHost(quiet);
    HostSetsParam(quiet, Quenlix::kType, 1);
    quietHost.RunSine(4410, 0.3, 1234.5);
    double tp = 0.0;
    for (const ISPD_ITU& d : quiet.GetEbuMeter().mTruePeak) tp = std::max(tp, d.mTruePeakMax);
    EXPECT_EQ(ParamValue(quiet, Quenlix::kOutEbuTpMax), LevelDb(tp));
    EXPECT_NE(ParamValue(quiet, Quenlix::kOutEbuTpMax), RoundToTenth(LevelDb(tp)));
}

TEST_F(PublishedOutputs, ParametersReachTheHostWithTheValueJustStored) {
    host.RunSine(44100, 0.2, 440.0);
    for (int p = Quenlix::kOutRmsIl; p <= Quenlix::kOutRmsCrest; ++p)
        EXPECT_EQ(plug.mLastInformed[p], ParamValue(plug, p)) << p;
}

// Input with every kind of sample a host might send: noise, full scale, denormals, NaN, infinities.
float NastySample(std::mt19937& rng, long i) {
    switch (i % 97) {
        case 3:
            return std::numeric_limits<float>::quiet_NaN();
        case 7:
            return std::numeric_limits<float>::infinity();
        case 11:
            return -std::numeric_limits<float>::infinity();
        case 13:
            return std::numeric_limits<float>::denorm_min();
        case 17:
            return -1.0f;
        case 19:
            return 3.0e38f;
        default:
            return std::uniform_real_distribution<float>(-1.5f, 1.5f)(rng);
    }
}

TEST(PassThrough, OutputsEqualInputsBitForBitInEveryTypeAndConfiguration) {
    std::mt19937 rng(7);
    for (int channels : {1, 2, 4, 5, 6})
        for (int type = 0; type < 2; ++type)
            for (int config = 0; config < (type == 0 ? 5 : 4); ++config)
                for (int sync = 0; sync < 2; ++sync) {
                    SCOPED_TRACE(testing::Message() << channels << " ch, type " << type << ", config "
                                                    << config << ", sync " << sync);
                    TestQuenlix plug;
                    PluginHost host(plug, channels);
                    HostSetsParam(plug, Quenlix::kType, type);
                    HostSetsParam(plug, type == 0 ? Quenlix::kRmsChannelConfig : Quenlix::kEbuChannelConfig,
                                  config);
                    HostSetsParam(plug, Quenlix::kSync, sync);
                    for (int block = 0; block < 3; ++block) {
                        const int n = 2500 + 700 * block;
                        for (int c = 0; c < channels; ++c)
                            for (int i = 0; i < n; ++i) host.In(c)[i] = NastySample(rng, i + c);
                        host.Block(n);
                        for (int c = 0; c < channels; ++c)
                            ASSERT_EQ(std::memcmp(host.In(c).data(), host.Out(c).data(), n * sizeof(float)),
                                      0)
                                << "channel " << c;
                    }
                }
}

TEST(PassThrough, NonFiniteSamplesAreMeasuredAsSilence) {
    TestQuenlix plug;
    PluginHost host(plug);
    host.Run(44100, 1024, [](int, long i) {
        if (i == 100) return std::numeric_limits<float>::quiet_NaN();
        if (i == 200) return std::numeric_limits<float>::infinity();
        return static_cast<float>(0.1 * std::sin(2.0 * M_PI * 440.0 * i / kRate));
    });
    EXPECT_NEAR(ParamValue(plug, Quenlix::kOutRmsIl), -20.0, 0.2);
    EXPECT_NEAR(ParamValue(plug, Quenlix::kOutRmsPeakMax), -20.0, 0.1);
}

}  // namespace
