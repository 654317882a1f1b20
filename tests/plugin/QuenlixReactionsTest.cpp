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
