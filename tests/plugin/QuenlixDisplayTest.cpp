// The display feed: LED meter frames, clip lamps, peak read-outs and the read-out texts of both types.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "PluginHost.h"

namespace {

int LedFrame(Quenlix& plug, int k) {
    return IBitmapControl::FrameForValue(73, ControlValue(plug, layout::LedMeter(k)));
}

class LedMeters : public ::testing::Test {
  protected:
    // A constant level on channel 1 only, long enough for several refreshes.
    int FrameAt(double levelDb) {
        TestQuenlix plug;
        PluginHost host(plug);
        host.Run(4410, 1024, [&](int c, long) { return c == 0 ? Amplitude(levelDb) : 0.0f; });
        return LedFrame(plug, 0);
    }
};

TEST_F(LedMeters, OneFramePerDbSwitchingHalfwayBetween) {
    EXPECT_EQ(FrameAt(-59.6), 1);
    EXPECT_EQ(FrameAt(-59.4), 2);
    EXPECT_EQ(FrameAt(-80.0), 1);
    EXPECT_EQ(FrameAt(-20.0), 41);
    EXPECT_EQ(FrameAt(0.0), 61);
    EXPECT_EQ(FrameAt(11.6), 73);
    EXPECT_EQ(FrameAt(20.0), 73);
}

TEST_F(LedMeters, SilentChannelsShowAnEmptyMeterAndInf) {
    TestQuenlix plug;
    PluginHost host(plug, 6);
    host.Run(4410, 1024, [](int c, long) { return c == 2 ? 0.5f : 0.0f; });
    HostSetsParam(plug, Quenlix::kRmsChannelConfig, 4);  // all six channels measured
    host.Run(4410, 1024, [](int c, long) { return c == 2 ? 0.5f : 0.0f; });
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        if (k == 2) {
            EXPECT_EQ(LedFrame(plug, k), 55);
            EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(k)), " -6.0");
        } else {
            EXPECT_EQ(LedFrame(plug, k), 1);
            EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(k)), "-inf");
            EXPECT_EQ(ControlValue(plug, layout::ClipLamp(k)), 0.0);
        }
    }
}

TEST_F(LedMeters, FollowerFallsTwentyDbPerHalfSecond) {
    TestQuenlix plug;
    PluginHost host(plug);
    host.RunConstant(2205, 1.0f);
    EXPECT_EQ(LedFrame(plug, 0), 61);
    host.RunConstant(22050, 0.0f);  // last refresh about half a second after the signal
    EXPECT_NEAR(LedFrame(plug, 0), 41, 1);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), " 0.0");  // the held value stays
}

class ClipLamps : public ::testing::Test {
  protected:
    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(ClipLamps, FullScaleReadsZeroAndStaysDark) {
    host.RunConstant(2205, 1.0f);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), " 0.0");
    EXPECT_EQ(ControlValue(plug, layout::ClipLamp(0)), 0.0);
}

TEST_F(ClipLamps, AboveFullScaleLightsUntilReset) {
    host.RunConstant(2205, 1.02f);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), " 0.2");
    EXPECT_EQ(ControlValue(plug, layout::ClipLamp(0)), 1.0);
    EXPECT_EQ(ControlValue(plug, layout::ClipLamp(1)), 1.0);

    host.RunConstant(44100, 0.0f);
    EXPECT_EQ(ControlValue(plug, layout::ClipLamp(0)), 1.0);

    HostSetsParam(plug, Quenlix::kSync, 0);  // any reaction resets both engines
    host.RunConstant(2205, 0.0f);
    EXPECT_EQ(ControlValue(plug, layout::ClipLamp(0)), 0.0);
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), "-inf");
}

class RmsReadouts : public ::testing::Test {
  protected:
    std::string Text(int i) { return ReadoutText(plug, layout::kFirstRmsReadout + i); }

    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(RmsReadouts, ShowOneDecimalWithoutLeadingSpace) {
    host.RunConstant(44100, Amplitude(-12.34));
    EXPECT_STREQ(ReadoutText(plug, layout::PeakReadout(0)), " -12.3");
    // Two channels of equal power add: -12.34 + 3.01 dB.
    EXPECT_EQ(Text(0), "-9.3");
    EXPECT_EQ(Text(1), "-9.3");
    EXPECT_EQ(Text(2), "-9.3");
    EXPECT_EQ(Text(3), "-12.3");
    EXPECT_GE(std::stod(Text(4)), -12.3);  // the step into a constant overshoots between the samples
    EXPECT_EQ(Text(5), "-3.0");            // crest factor, not clamped on the read-out
}

TEST_F(RmsReadouts, SilenceInThePlusThreeModeReadsMinus141) {
    HostSetsParam(plug, Quenlix::kRmsMeterMode, 1);
    host.RunConstant(44100, 0.0f);
    EXPECT_EQ(Text(0), "-141.0");
    EXPECT_EQ(Text(1), "-141.0");
    EXPECT_EQ(Text(2), "-141.0");
    EXPECT_EQ(Text(3), "-inf");
    EXPECT_EQ(Text(4), "-inf");
    EXPECT_EQ(Text(5), "-inf");
}

TEST_F(RmsReadouts, SilenceReadsInf) {
    host.RunConstant(44100, 0.0f);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(Text(i), "-inf") << i;
}

TEST_F(RmsReadouts, ActiveTypeOnlyIsWritten) {
    host.RunConstant(44100, 0.25f);
    const std::string il = Text(0);
    HostSetsParam(plug, Quenlix::kType, 1);
    host.RunConstant(44100, 0.5f);
    EXPECT_EQ(Text(0), il);
    EXPECT_STRNE(ReadoutText(plug, layout::kFirstEbuReadout + 1), "---");
}

class EbuReadouts : public ::testing::Test {
  protected:
    void SetUp() override { HostSetsParam(plug, Quenlix::kType, 1); }
    std::string Text(int i) { return ReadoutText(plug, layout::kFirstEbuReadout + i); }
    void Sine(long samples) { host.RunSine(samples, 0.3, 997.0); }

    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(EbuReadouts, ShowDashesUntilEachMeasurementIsValid) {
    Sine(13000);  // 0.29 s: no momentary window yet
    EXPECT_EQ(Text(0), "---");
    EXPECT_EQ(Text(1), "---");
    EXPECT_EQ(Text(2), "---");
    EXPECT_EQ(Text(3), "---");
    EXPECT_EQ(Text(4), "---");
    EXPECT_NE(Text(5), "---");
    EXPECT_NE(Text(5), "-inf");
    EXPECT_EQ(Text(6), "---");

    Sine(22050);  // 0.79 s
    EXPECT_NE(Text(0), "---");
    EXPECT_NE(Text(1), "---");
    EXPECT_NE(Text(2), "---");
    EXPECT_EQ(Text(3), "---");
    EXPECT_EQ(Text(6), "---");

    Sine(3 * 44100);  // 3.79 s
    for (int i = 0; i < 7; ++i) EXPECT_NE(Text(i), "---") << i;
    EXPECT_EQ(Text(6), "0.0");
}

TEST_F(EbuReadouts, MatchThePublishedValuesWhereNotClamped) {
    Sine(4 * 44100);
    char buf[32];
    const int params[5] = {Quenlix::kOutEbuIl, Quenlix::kOutEbuMl, Quenlix::kOutEbuMlMax, Quenlix::kOutEbuSl,
                           Quenlix::kOutEbuSlMax};
    // The display refreshed after the last publication, but the signal is steady.
    for (int i = 0; i < 5; ++i) {
        std::snprintf(buf, sizeof buf, "%.1lf", ParamValue(plug, params[i]));
        EXPECT_EQ(Text(i), buf) << i;
    }
    // A 997 Hz sine of amplitude 0.3 in both channels: 10 log10(2 * 0.045) - 0.691 + 0.691 (K-weighting
    // gain).
    EXPECT_NEAR(ParamValue(plug, Quenlix::kOutEbuMl), -10.5, 0.2);
}

TEST_F(EbuReadouts, TruePeakReadsInfUntilSomethingIsMeasured) {
    host.RunConstant(44100, 0.0f);
    EXPECT_EQ(Text(5), "-inf");
    EXPECT_EQ(Text(0), "---");  // silence never passes the gate
    EXPECT_EQ(Text(1), "-inf");
    host.RunSine(2205, 0.5, 100.0);
    EXPECT_NEAR(std::stod(Text(5)), -6.0, 0.1);
}

}  // namespace
