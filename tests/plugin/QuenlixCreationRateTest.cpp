// A host adapter that knows the sample rate before it creates the plug-in builds it for that rate, so
// the engines are set up once. What it measures must not depend on the path: built for the rate, or
// built for 44100 Hz and reset for the rate, the read-outs and the published values are identical.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "PluginHost.h"
#include "framework/CreationSampleRate.h"

namespace {

struct Measured {
    double outputs[Quenlix::kNumParams] = {};
    std::string readouts;
};

// A minute of a two-tone stereo programme with a level step, metered by `type` (0 RMS, 1 EBU R128).
Measured Meter(TestQuenlix& plug, double rate, int type) {
    PluginHost host(plug, 2, 1024);
    host.SetSampleRateAndReset(rate);
    HostSetsParam(plug, Quenlix::kType, type);
    host.Run(static_cast<long>(rate * 6.0), 1000, [rate](int c, long i) {
        const double t = static_cast<double>(i) / rate;
        const double a = t < 3.0 ? 0.1 : 0.4;
        return static_cast<float>(a * std::sin(2.0 * M_PI * (c ? 997.0 : 440.0) * t));
    });
    Measured m;
    for (int p = 0; p < Quenlix::kNumParams; ++p) m.outputs[p] = plug.GetParam(p)->Value();
    for (int idx = layout::kFirstRmsReadout; idx < layout::LedMeter(0); ++idx)
        m.readouts += ReadoutText(plug, idx) + std::string("|");
    return m;
}

TEST(CreationSampleRate, APlugInBuiltForItsRateMeasuresAsOneResetForIt) {
    for (double rate : {8000.0, 48000.0, 96000.0, 384000.0}) {
        for (int type : {0, 1}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, type " << type);
            TestQuenlix reset;
            std::unique_ptr<TestQuenlix> built;
            {
                const ScopedCreationSampleRate scope(rate);
                built = std::make_unique<TestQuenlix>();
            }
            EXPECT_EQ(built->GetSampleRate(), rate);
            EXPECT_EQ(built->GetDisplayPeriod(), [&] {
                PluginHost(reset).SetSampleRateAndReset(rate);
                return reset.GetDisplayPeriod();
            }());
            const Measured a = Meter(reset, rate, type), b = Meter(*built, rate, type);
            EXPECT_EQ(std::memcmp(a.outputs, b.outputs, sizeof a.outputs), 0);
            EXPECT_EQ(a.readouts, b.readouts);
        }
    }
}

TEST(CreationSampleRate, TheScopeNestsAndIgnoresUnusableRates) {
    EXPECT_EQ(ScopedCreationSampleRate::Current(), 0.0);
    {
        const ScopedCreationSampleRate outer(96000.0);
        EXPECT_EQ(ScopedCreationSampleRate::Current(), 96000.0);
        for (double unusable : {0.0, -48000.0, std::nan(""), HUGE_VAL}) {
            const ScopedCreationSampleRate inner(unusable);
            EXPECT_EQ(ScopedCreationSampleRate::Current(), 0.0);
            EXPECT_EQ(TestQuenlix().GetSampleRate(), 44100.0);
        }
        EXPECT_EQ(ScopedCreationSampleRate::Current(), 96000.0);
    }
    EXPECT_EQ(ScopedCreationSampleRate::Current(), 0.0);
    EXPECT_EQ(TestQuenlix().GetSampleRate(), 44100.0);
}

}  // namespace
