// The selectors of the editor against the settings in force: a menu that changes nothing must cost no
// measurement and tell the host nothing, and a restored state must show in every control, so that a
// selector never hands back a setting that is no longer in force.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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

// Pixels where two editors' screens differ.
int Differences(const IGraphicsHeadless* a, const IGraphicsHeadless* b) {
    int n = 0;
    for (int y = 0; y < a->Height(); ++y)
        for (int x = 0; x < a->Width(); ++x)
            if (ScreenPixel(a, x, y) != ScreenPixel(b, x, y)) ++n;
    return n;
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

// A state restored into the plug-in shows in the editor exactly as the same settings made by the host
// do, whether the editor was open at the restore or opens afterwards; a dismissed menu afterwards
// changes nothing.
TEST(RestoredSettings, TheEditorShowsThemAsAHostChangeDoes) {
    if (!std::ifstream(std::string(QUENLIX_SOURCE_DIR) + "/resources/img/background.png").good())
        GTEST_SKIP() << "the editor's images are not in resources/img";
    const struct {
        const char* name;
        std::vector<std::pair<int, double>> settings;
    } states[] = {
        {"EBU R128, Sync on", {{Quenlix::kType, 1}, {Quenlix::kSync, 1}}},
        {"EBU R128 5.1", {{Quenlix::kType, 1}, {Quenlix::kEbuChannelConfig, 3}}},
        {"RMS +3dB, 6 Channel, 1000 ms, Sync on",
         {{Quenlix::kSync, 1},
          {Quenlix::kRmsMeterMode, 1},
          {Quenlix::kRmsChannelConfig, 4},
          {Quenlix::kRmsWindow, 1000.0}}},
    };
    for (const auto& s : states) {
        SCOPED_TRACE(s.name);
        TestQuenlix reference;
        for (const auto& [param, value] : s.settings) HostSetsParam(reference, param, value);
        ByteChunk state;
        ASSERT_TRUE(reference.SerializeState(&state));
        IGraphicsHeadless* expected = OpenEditor(reference);
        TickUntilClean(expected);

        GesturePlug opensLater;
        opensLater.UnserializeState(&state, 0);
        IGraphicsHeadless* later = OpenEditor(opensLater);
        TickUntilClean(later);
        EXPECT_EQ(Differences(later, expected), 0);

        TestQuenlix openAlready;
        IGraphicsHeadless* open = OpenEditor(openAlready);
        TickUntilClean(open);
        openAlready.UnserializeState(&state, 0);
        TickUntilClean(open);
        EXPECT_EQ(Differences(open, expected), 0);

        // The Type menu opened and dismissed: the restored type stays, nothing reaches the host.
        ScriptedResponder responder;
        later->SetResponder(&responder);
        const IRECT* r = later->GetControl(layout::kTypeSelector)->GetRECT();
        IMouseMod left(true);
        later->OnMouseDown(r->L + 5, r->T + 5, &left);
        later->OnMouseUp(r->L + 5, r->T + 5, &left);
        ASSERT_EQ(responder.mMenusShown, 1);
        EXPECT_EQ(ParamValue(opensLater, Quenlix::kType), ParamValue(reference, Quenlix::kType));
        EXPECT_EQ(opensLater.mInformCount, 0);
        EXPECT_TRUE(opensLater.mGestures.empty());
        TickUntilClean(later);
        EXPECT_EQ(Differences(later, expected), 0);
    }
}
