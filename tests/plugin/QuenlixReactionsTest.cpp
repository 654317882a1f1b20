// Parameter reactions, the reset commands of the LED meters, Reset and sample-rate changes.

#include <gtest/gtest.h>

#include "PluginHost.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"

namespace {

class Reactions : public ::testing::Test {
  protected:
    // Some audio so every engine has something to lose.
    void Measure() {
        host.RunSine(44100, 0.5, 440.0);
        ASSERT_GT(plug.GetRmsMeter().mPeakMax, 0.4);
    }
    void MeasureEbu() {
        host.RunSine(44100, 0.5, 440.0);
        ASSERT_GT(plug.GetEbuMeter().mMomentary.mMaxResult, 0.0);
    }
    bool RmsCleared() {
        return plug.GetRmsMeter().mPeakMax == 0.0 && plug.GetRmsMeter().mIntegratedSum == 0.0;
    }
    bool EbuCleared() {
        return plug.GetEbuMeter().mFollower[0].mHeld == 0.0 &&
               plug.GetEbuMeter().mMomentary.mMaxResult == 0.0;
    }
    void Command(int idx) {
        WDL_MutexLock lock(plug.GetMutex());
        plug.OnParamChange(idx);
    }
    void Click(int x, int y) {
        IMouseMod mod(true);
        plug.GetEditor()->OnMouseDown(x, y, &mod);
        plug.GetEditor()->OnMouseUp(x, y, &mod);
    }

    TestQuenlix plug;
    PluginHost host{plug};
};

TEST_F(Reactions, ResetCommandFromCodeIsIgnored) {
    Measure();
    for (int idx = Quenlix::kResetCommandFirst; idx <= Quenlix::kResetCommandLast; ++idx) Command(idx);
    EXPECT_FALSE(RmsCleared());
}

TEST_F(Reactions, ClickOnAnLedMeterResetsTheMeasurements) {
    Measure();
    Click(464 + 5, 150);  // the meter of channel 3
    EXPECT_TRUE(RmsCleared());
    EXPECT_FALSE(plug.GetEditor()->IsMouseDown());

    HostSetsParam(plug, Quenlix::kType, 1);
    MeasureEbu();
    Click(560 + 5, 100);  // the meter of channel 6
    EXPECT_TRUE(EbuCleared());

    MeasureEbu();
    Command(Quenlix::kResetCommandFirst + 2);  // the button is up again
    EXPECT_FALSE(EbuCleared());
}

TEST_F(Reactions, ClicksElsewhereResetNothing) {
    Measure();
    Click(100, 200);       // background image
    Click(330, 100);       // a read-out
    Click(400 + 14, 300);  // under the meters: a peak read-out
    EXPECT_FALSE(RmsCleared());
}

TEST_F(Reactions, SettingsChangesResetBothEngines) {
    const int settings[] = {Quenlix::kSync,      Quenlix::kRmsChannelConfig, Quenlix::kRmsMeterMode,
                            Quenlix::kRmsWindow, Quenlix::kEbuChannelConfig, Quenlix::kType};
    for (int p : settings) {
        SCOPED_TRACE(p);
        HostSetsParam(plug, Quenlix::kType, 0);
        Measure();
        // The same value again still resets: every reaction ends in a reset of both engines.
        HostSetsParam(plug, p, ParamValue(plug, p));
        EXPECT_TRUE(RmsCleared());
        EXPECT_TRUE(EbuCleared());
    }
}

TEST_F(Reactions, OutputParametersAndUnknownIndicesChangeNothing) {
    Measure();
    for (int idx : {-1, 5, 10, 12, 18, 19, 20, 27, 1000}) {
        WDL_MutexLock lock(plug.GetMutex());
        plug.OnParamChange(idx);
    }
    EXPECT_FALSE(RmsCleared());
}

TEST_F(Reactions, WindowAndModeReachTheRmsEngine) {
    HostSetsParam(plug, Quenlix::kRmsWindow, 10.0);
    EXPECT_EQ(plug.GetRmsMeter().mWindowMs, 10.0);
    EXPECT_EQ(plug.GetRmsMeter().mWindowLength, 441);
    HostSetsParam(plug, Quenlix::kRmsMeterMode, 1);
    EXPECT_EQ(plug.GetRmsMeter().mRmsOffsetDb, 3.0);
    EXPECT_EQ(plug.GetRmsMeter().mPeakOffsetDb, 0.0);
    EXPECT_EQ(plug.GetRmsMeter().mCommonOffsetDb, 0.0);
    HostSetsParam(plug, Quenlix::kRmsMeterMode, 0);
    EXPECT_EQ(plug.GetRmsMeter().mRmsOffsetDb, 0.0);
}

TEST_F(Reactions, ChannelConfigurationsReachTheEngines) {
    // "Right" measures channel 2 only.
    HostSetsParam(plug, Quenlix::kRmsChannelConfig, 2);
    host.Run(44100, 1024, [](int c, long) { return c == 0 ? 0.5f : 0.0f; });
    EXPECT_EQ(ParamValue(plug, Quenlix::kOutRmsPeakMax), -60.0);
    host.Run(44100, 1024, [](int c, long) { return c == 1 ? 0.5f : 0.0f; });
    EXPECT_NEAR(ParamValue(plug, Quenlix::kOutRmsPeakMax), -6.0, 0.05);
}

class ResetFromHost : public Reactions {};

TEST_F(ResetFromHost, SameRateWithSyncOffKeepsMeasuring) {
    Measure();
    host.SetSampleRateAndReset(44100.0);
    EXPECT_FALSE(RmsCleared());
    EXPECT_EQ(plug.GetDisplayPeriod(), 1102);
}

TEST_F(ResetFromHost, NewRateReinitialisesForIt) {
    Measure();
    host.SetSampleRateAndReset(48000.0);
    EXPECT_TRUE(RmsCleared());
    EXPECT_EQ(plug.GetDisplayPeriod(), 1200);
    EXPECT_EQ(plug.GetParamPeriod(), 2400);
    EXPECT_EQ(plug.GetEbuMeter().SampleRate(), 48000.0);
    EXPECT_EQ(plug.GetEbuMeter().mMomentary.WindowLength(), 19200);
    EXPECT_EQ(plug.GetRmsMeter().mFs, 48000.0);
    EXPECT_EQ(plug.GetRmsMeter().mWindowMs, 300.0);  // the window parameter survives re-initialisation
    EXPECT_EQ(plug.GetRmsMeter().mWindowLength, 14400);

    // Counters restart: the first publication comes 2400 samples after the reset.
    const long before = plug.mInformCount;
    host.RunConstant(2399, 0.1f);
    EXPECT_EQ(plug.mInformCount, before);
    host.RunConstant(1, 0.1f);
    EXPECT_EQ(plug.mInformCount, before + 6);
}

TEST_F(ResetFromHost, SyncOnRestartsEveryResetEvenAtTheSameRate) {
    HostSetsParam(plug, Quenlix::kSync, 1);
    plug.mTransportRunning = true;
    Measure();
    host.SetSampleRateAndReset(44100.0);
    EXPECT_TRUE(RmsCleared());
}

TEST_F(ResetFromHost, SyncChangeResetsWithoutReinitialising) {
    plug.SetSampleRate(48000.0);  // the host changed the rate but has not called Reset yet
    Measure();
    HostSetsParam(plug, Quenlix::kSync, 1);
    EXPECT_TRUE(RmsCleared());
    EXPECT_EQ(plug.GetEbuMeter().SampleRate(), 44100.0);
    EXPECT_EQ(plug.GetDisplayPeriod(), 1102);
    plug.Reset();
    EXPECT_EQ(plug.GetEbuMeter().SampleRate(), 48000.0);
}

TEST_F(ResetFromHost, UnusableRateCountsAsTheStartingRate) {
    Measure();
    host.SetSampleRateAndReset(std::nan(""));
    EXPECT_FALSE(RmsCleared());
    EXPECT_EQ(plug.GetDisplayPeriod(), 1102);
    host.SetSampleRateAndReset(-96000.0);
    EXPECT_EQ(plug.GetParamPeriod(), 2205);
    host.SetSampleRateAndReset(8000.0);
    EXPECT_EQ(plug.GetDisplayPeriod(), 200);
}

}  // namespace

// Every way of restarting the measurements in the middle of a -23 dBFS 1 kHz sine: the true-peak
// maximum afterwards reads what the uninterrupted sine reads (the meters restart, the audio does not).
TEST(ResetMidProgramme, TruePeakMaxReadsTheUninterruptedValueWhateverResetsIt) {
    struct Case {
        const char* name;
        int type;
        void (*reset)(TestQuenlix&, PluginHost&);
        long resume = 30000;  // the frame the programme goes on from after the reset
    };
    const Case cases[] = {
        {"EBU: host's reset", 1, [](TestQuenlix& p, PluginHost&) { p.OnResetRequest(); }},
        {"RMS: host's reset", 0, [](TestQuenlix& p, PluginHost&) { p.OnResetRequest(); }},
        {"EBU: click on a meter", 1,
         [](TestQuenlix& p, PluginHost&) {
             IMouseMod mod(true);
             p.GetEditor()->OnMouseDown(400 + 5, 150, &mod);
             p.GetEditor()->OnMouseUp(400 + 5, 150, &mod);
         }},
        {"EBU: channel config", 1,
         [](TestQuenlix& p, PluginHost&) { HostSetsParam(p, Quenlix::kEbuChannelConfig, 1); }},
        {"RMS: window", 0, [](TestQuenlix& p, PluginHost&) { HostSetsParam(p, Quenlix::kRmsWindow, 400.0); }},
        {"RMS: meter mode", 0,
         [](TestQuenlix& p, PluginHost&) { HostSetsParam(p, Quenlix::kRmsMeterMode, 1); }},
        {"type RMS to EBU", 0, [](TestQuenlix& p, PluginHost&) { HostSetsParam(p, Quenlix::kType, 1); }},
        {"type EBU to RMS", 1, [](TestQuenlix& p, PluginHost&) { HostSetsParam(p, Quenlix::kType, 0); }},
        {"EBU: sync, restarted on play", 1,
         [](TestQuenlix& p, PluginHost& h) {
             HostSetsParam(p, Quenlix::kSync, 1);
             h.SetSampleRateAndReset(44100.0);
         }},
        {"RMS: sync, stopped, restarted on play", 0,
         [](TestQuenlix& p, PluginHost& h) {
             HostSetsParam(p, Quenlix::kSync, 1);
             p.mTransportRunning = false;
             h.Run(3000, 512, [](int, long i) {  // stopped: the audio goes on unmeasured
                 return static_cast<float>(
                     std::pow(10.0, -23.0 / 20.0) *
                     std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i + 30000) / 44100.0));
             });
             p.mTransportRunning = true;
             h.SetSampleRateAndReset(44100.0);
         },
         33000},
    };
    const double amplitude = std::pow(10.0, -23.0 / 20.0);
    // The sine from frame `from` on, so the two halves join without a seam.
    auto run = [&](PluginHost& h, long from, long count) {
        h.Run(count, 512, [&](int, long i) {
            return static_cast<float>(
                amplitude * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(from + i) / 44100.0));
        });
    };
    auto truePeakDb = [](const TestQuenlix& p, int type) {
        double m = 0.0;
        for (int k = 0; k < 2; ++k)
            m = std::fmax(m, type == 1 ? p.GetEbuMeter().mTruePeak[k].mTruePeakMax
                                       : p.GetRmsMeter().mTruePeak[k].mTruePeakMax);
        return 20.0 * std::log10(m);
    };
    for (const Case& c : cases) {
        TestQuenlix whole;
        PluginHost wholeHost{whole};
        HostSetsParam(whole, Quenlix::kType, c.type);
        run(wholeHost, 0, 44100);

        TestQuenlix plug;
        PluginHost host{plug};
        HostSetsParam(plug, Quenlix::kType, c.type);
        run(host, 0, 30000);  // mid-block, mid-hop, near a crest of the sine
        c.reset(plug, host);
        const int type = IParam::TruncToInt(plug.GetParam(Quenlix::kType)->Value());
        run(host, c.resume, 14100);
        EXPECT_NEAR(truePeakDb(plug, type), truePeakDb(whole, c.type), 0.02) << c.name;
    }
}
