// The selectors of the editor against the settings in force: a menu that changes nothing must cost no
// measurement and tell the host nothing.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "EditorPicture.h"
#include "editor/HeadlessResponder.h"
#include "meters/EBUMM6.h"
#include "meters/RMSMM6.h"

namespace {

// Records the gestures the editor announces to the host besides the values.
class GesturePlug : public TestQuenlix {
  public:
    void BeginInformHostOfParamChange(int paramIdx) override { mGestures.emplace_back(paramIdx, true); }
    void EndInformHostOfParamChange(int paramIdx) override { mGestures.emplace_back(paramIdx, false); }

    std::vector<std::pair<int, bool>> mGestures;  // parameter, true at the start
};

// Everything a reset would take away, raw as the engines hold it.
std::vector<double> Measurements(const Quenlix& plug) {
    const EBUMM6& ebu = plug.GetEbuMeter();
    const RMSMM6& rms = plug.GetRmsMeter();
    std::vector<double> m = {ebu.mIntegrator.mIntegratedLufs,
                             static_cast<double>(ebu.mIntegrator.mCount),
                             ebu.mMomentary.mMaxResult,
                             ebu.mShortTerm.mMaxResult,
                             ebu.mLra.mRangeLu,
                             static_cast<double>(ebu.mLra.mCount),
                             rms.mPeakMax,
                             rms.mIntegratedSum,
                             rms.mMaxMeanSquare};
    for (int k = 0; k < Quenlix::kNumChannels; ++k) {
        m.push_back(ebu.mTruePeak[k].mTruePeakMax);
        m.push_back(rms.mTruePeak[k].mTruePeakMax);
    }
    return m;
}

class Selectors : public ::testing::Test {
  protected:
    void SetUp() override { Editor()->SetResponder(&responder); }

    IGraphicsHeadless* Editor() { return dynamic_cast<IGraphicsHeadless*>(plug.GetEditor()); }
    // A press and release in the middle of a control, the menu answered by the responder.
    void ClickControl(int controlIdx) {
        const IRECT* r = plug.GetEditor()->GetControl(controlIdx)->GetRECT();
        IMouseMod left(true);
        plug.GetEditor()->OnMouseDown((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
        plug.GetEditor()->OnMouseUp((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
    }
    // Five seconds of a programme, so that every measurement of the type in force holds a value,
    // loudness range included.
    void Measure() {
        const double levels[] = {-20.0, -26.0};
        RunProgramme(host, 2, levels, 5.0);
        if (ParamValue(plug, Quenlix::kType) == 1.0) {
            ASSERT_GE(plug.GetEbuMeter().mIntegrator.mCount, 1);
            ASSERT_GE(plug.GetEbuMeter().mLra.mCount, 1);
            ASSERT_GT(plug.GetEbuMeter().mTruePeak[0].mTruePeakMax, 0.0);
        } else {
            ASSERT_GT(plug.GetRmsMeter().mIntegratedSum, 0.0);
            ASSERT_GT(plug.GetRmsMeter().mPeakMax, 0.0);
            ASSERT_GT(plug.GetRmsMeter().mTruePeak[0].mTruePeakMax, 0.0);
        }
    }

    GesturePlug plug;
    PluginHost host{plug};
    ScriptedResponder responder;
};

}  // namespace

// Escape or a click outside the menu, or the ticked entry picked again, on every selector while
// metering: the measurements go on, nothing reaches the host.
TEST_F(Selectors, AMenuThatChangesNothingKeepsTheMeasurementsAndTellsTheHostNothing) {
    const struct {
        const char* name;
        int control;
        int param;
        int type;
    } selectors[] = {
        {"Type (RMS)", layout::kTypeSelector, Quenlix::kType, 0},
        {"Type (EBU R128)", layout::kTypeSelector, Quenlix::kType, 1},
        {"Sync", layout::kSyncSelector, Quenlix::kSync, 1},
        {"RMS Channel Config", layout::kRmsChannelSelector, Quenlix::kRmsChannelConfig, 0},
        {"RMS Meter Mode", layout::kRmsModeSelector, Quenlix::kRmsMeterMode, 0},
        {"EBU Channel Config", layout::kEbuChannelSelector, Quenlix::kEbuChannelConfig, 1},
    };
    for (const auto& s : selectors) {
        HostSetsParam(plug, Quenlix::kType, s.type);
        for (bool pickTicked : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (pickTicked ? ": ticked entry picked" : ": dismissed"));
            Measure();
            const std::vector<double> before = Measurements(plug);
            const double value = ParamValue(plug, s.param);
            const double controlValue = ControlValue(plug, s.control);
            const long informs = plug.mInformCount;
            plug.mGestures.clear();
            if (pickTicked) responder.QueueMenuChoice({static_cast<int>(value)});
            const int menus = responder.mMenusShown;

            ClickControl(s.control);
            EXPECT_EQ(responder.mMenusShown, menus + 1);
            EXPECT_EQ(Measurements(plug), before);
            EXPECT_EQ(plug.mInformCount, informs);
            EXPECT_TRUE(plug.mGestures.empty());
            EXPECT_EQ(ParamValue(plug, s.param), value);
            EXPECT_EQ(ControlValue(plug, s.control), controlValue);
        }
    }
}

// A real choice behaves as it always did: the setting changes, both engines start afresh, and the host
// gets the value inside one gesture.
TEST_F(Selectors, ARealChoiceResetsAndReachesTheHostInsideAGesture) {
    Measure();
    const long informs = plug.mInformCount;
    responder.QueueMenuChoice({1});
    ClickControl(layout::kSyncSelector);
    EXPECT_EQ(ParamValue(plug, Quenlix::kSync), 1.0);
    EXPECT_EQ(ControlValue(plug, layout::kSyncSelector), 1.0);
    EXPECT_EQ(plug.GetRmsMeter().mPeakMax, 0.0);
    EXPECT_EQ(plug.GetRmsMeter().mIntegratedSum, 0.0);
    EXPECT_EQ(plug.mInformCount, informs + 1);
    EXPECT_EQ(plug.mLastInformed[Quenlix::kSync], 1.0);
    const std::vector<std::pair<int, bool>> gesture = {{Quenlix::kSync, true}, {Quenlix::kSync, false}};
    EXPECT_EQ(plug.mGestures, gesture);
}
