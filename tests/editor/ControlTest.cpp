// Control behaviour: values from the plug-in side, the draw cycle, user input turned into parameter
// changes, and the meter's own controls.
#include <gtest/gtest.h>

#include <cmath>

#include "EditorTestUtil.h"
#include "TestPlug.h"
#include "editor/HeadlessResponder.h"
#include "editor/IPlugControls.h"

namespace {

// A knob that draws nothing (IKnobControl leaves drawing to its subclasses).
class TestKnob : public IKnobControl {
  public:
    using IKnobControl::IKnobControl;
    bool Draw(IGraphics*) override { return true; }
};

class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g = new IGraphicsHeadless(&plug, 200, 100);
        g->SetResponder(&responder);
        strip = MakeStrip(4, 20, 10, false);
        bitmap = HandleFor(strip.get(), 4, false);
    }
    // Attaches the editor to the plug-in (parameter values pushed, rasters made) and opens the window.
    void Open() {
        plug.AttachGraphics(g);
        g->OpenWindow(nullptr);
    }
    int Attach(IControl* c) { return g->AttachControl(c); }

    TestPlug plug;
    IGraphicsHeadless* g = nullptr;  // owned by plug once attached
    ScriptedResponder responder;
    std::unique_ptr<LICE_MemBitmap> strip;
    IBitmap bitmap;
    IMouseMod none;
};

}  // namespace

TEST_F(ControlTest, FirstValueFromPlugOnlyRecordsTheDefault) {
    auto* probe = new ProbeControl(&plug, IRECT(0, 0, 10, 10));
    const int idx = Attach(probe);
    Open();
    g->SetControlFromPlug(idx, 0.7);
    EXPECT_DOUBLE_EQ(probe->GetValue(), 0.7);
    EXPECT_DOUBLE_EQ(probe->GetDefaultValue(), 0.7);
    EXPECT_TRUE(g->Tick());  // dirty from creation: drawn once
    EXPECT_EQ(probe->mDraws, 1);
    EXPECT_FALSE(g->Tick());

    g->SetControlFromPlug(idx, 0.7);
    EXPECT_FALSE(g->Tick());

    // A changed value is drawn on two consecutive ticks, then not again.
    g->SetControlFromPlug(idx, 0.8);
    EXPECT_TRUE(g->Tick());
    EXPECT_TRUE(g->Tick());
    EXPECT_FALSE(g->Tick());
    EXPECT_EQ(probe->mDraws, 3);
    EXPECT_DOUBLE_EQ(probe->mDrawnValue, 0.8);
}

TEST_F(ControlTest, SetDirtyClampsIntoRange) {
    auto* probe = new ProbeControl(&plug, IRECT(0, 0, 10, 10));
    const int idx = Attach(probe);
    Open();
    g->SetControlFromPlug(idx, 0.5);
    g->SetControlFromPlug(idx, -0.2);
    EXPECT_DOUBLE_EQ(probe->GetValue(), 0.0);
    g->SetControlFromPlug(idx, std::nan(""));
    EXPECT_DOUBLE_EQ(probe->GetValue(), 0.0);
    g->SetControlFromPlug(idx, 0.999);
    g->OnMouseWheel(5, 5, &none, 1);  // 1.009 would be past the top
    EXPECT_DOUBLE_EQ(probe->GetValue(), 1.0);
}

TEST_F(ControlTest, WheelStepsAreCoarseOrFineAndReachTheHost) {
    auto* knob = new TestKnob(&plug, IRECT(0, 0, 20, 20), TestPlug::kGain);
    Attach(knob);
    Open();
    const double start = knob->GetValue();
    g->OnMouseWheel(5, 5, &none, 3);
    EXPECT_NEAR(knob->GetValue(), start + 0.03, 1e-12);
    IMouseMod shift(false, false, true, false, false), control(false, false, false, true, false);
    g->OnMouseWheel(5, 5, &shift, 3);
    EXPECT_NEAR(knob->GetValue(), start + 0.033, 1e-12);
    g->OnMouseWheel(5, 5, &control, -3);
    EXPECT_NEAR(knob->GetValue(), start + 0.03, 1e-12);
    ASSERT_EQ(plug.mInforms.size(), 3u);
    EXPECT_NEAR(plug.GetParam(TestPlug::kGain)->GetNormalized(), start + 0.03, 1e-9);
}

TEST(FrameForValueTest, SeventyThreeFrameStripSwitchesAtHalfSteps) {
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 0.0), 1);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 1.0), 73);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 0.5), 37);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 0.00693), 1);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 0.00695), 2);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 1.7), 73);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, -0.5 / 72 - 0.001), 1);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, 1e300), 73);
    EXPECT_EQ(IBitmapControl::FrameForValue(73, std::nan("")), 1);
    EXPECT_EQ(IBitmapControl::FrameForValue(1, 0.9), 1);
}

TEST_F(ControlTest, KnobDragFollowsGearingAndDirection) {
    auto* knob = new TestKnob(&plug, IRECT(0, 0, 20, 40), TestPlug::kGain, IKnobControl::kVertical, 2.0);
    Attach(knob);
    Open();
    const double start = knob->GetValue();
    IMouseMod left(true);
    g->OnMouseDown(10, 30, &left);
    g->OnMouseDrag(10, 22, &left);  // 8 pixels up over a 40-pixel control: +0.1 at gearing 2
    EXPECT_NEAR(knob->GetValue(), start + 0.1, 1e-12);
    IMouseMod fine(true, false, true);
    g->OnMouseDrag(10, 30, &fine);  // back down, ten times finer
    EXPECT_NEAR(knob->GetValue(), start + 0.09, 1e-12);
    g->OnMouseUp(10, 30, &left);
    EXPECT_EQ(plug.mBegins, std::vector<int>{TestPlug::kGain});
    EXPECT_EQ(plug.mEnds, std::vector<int>{TestPlug::kGain});
}

// A click without a drag leaves the value in force, which is no change: nothing reaches the host or
// the plug-in's reactions (which would restart the measurements).
TEST_F(ControlTest, ParameterButtonClickChangesNothingAndShiftClickResets) {
    auto* button = new IParameterButton(&plug, 10, 10, TestPlug::kGain, &bitmap, nullptr, true, false);
    Attach(button);
    Open();
    EXPECT_EQ(*button->GetRECT(), IRECT(10, 10, 30, 20));
    const double atAttach = button->GetValue();
    IMouseMod left(true);
    g->OnMouseDown(15, 15, &left);
    g->OnMouseUp(15, 15, &left);
    EXPECT_TRUE(plug.mInforms.empty());
    EXPECT_TRUE(plug.mChanges.empty());
    EXPECT_DOUBLE_EQ(button->GetValue(), atAttach);

    g->OnMouseDown(15, 15, &left);
    g->OnMouseDrag(15, 12, &left);
    g->OnMouseUp(15, 12, &left);
    EXPECT_GT(button->GetValue(), atAttach);

    IMouseMod shift(true, false, true);
    g->OnMouseDown(15, 15, &shift);
    EXPECT_DOUBLE_EQ(button->GetValue(), atAttach);
    EXPECT_NEAR(plug.GetParam(TestPlug::kGain)->Value(), -20.0, 1e-9);
}

TEST_F(ControlTest, ControlWithoutImageIsNotDraggedIntoNonsense) {
    IBitmap missing;
    auto* button = new IParameterButton(&plug, 10, 10, TestPlug::kGain, &missing, nullptr, true, false);
    Attach(button);
    Open();
    const double before = button->GetValue();
    IMouseMod left(true);
    button->OnMouseDown(10, 10, &left);
    EXPECT_DOUBLE_EQ(button->GetValue(), before);
    EXPECT_FALSE(std::isnan(plug.GetParam(TestPlug::kGain)->Value()));
}

TEST_F(ControlTest, PopupSelectorSetsIndexOverCountMinusOne) {
    auto* selector = new IMyPopupMenu(&plug, 0, 0, TestPlug::kFour, &bitmap);
    Attach(selector);
    Open();
    EXPECT_EQ(selector->GetMenu()->GetNItems(), 4);
    responder.QueueMenuChoice({2});
    IMouseMod left(true);
    g->OnMouseDown(5, 5, &left);
    EXPECT_DOUBLE_EQ(selector->GetValue(), 2.0 / 3.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(selector->GetMenu()->GetItem(i)->GetChecked(), i == 2) << i;
    EXPECT_EQ(plug.GetParam(TestPlug::kFour)->Int(), 2);
    // The menu opened with the then current entry ticked.
    EXPECT_EQ(responder.mLastMenuFlags[0], IPopupMenuItem::kChecked);
    EXPECT_EQ(responder.mLastMenuRect, *selector->GetRECT());

    // The choice reached the plug-in and the host once, inside a gesture of its own.
    EXPECT_EQ(plug.mChanges, std::vector<int>{TestPlug::kFour});
    EXPECT_EQ(plug.mInforms, std::vector<int>{TestPlug::kFour});
    EXPECT_EQ(plug.mBegins, std::vector<int>{TestPlug::kFour});
    EXPECT_EQ(plug.mEnds, std::vector<int>{TestPlug::kFour});
}

// A menu that ends on no other entry than the one in force is no change: neither the plug-in nor the
// host hears of it, not even as a gesture, and the control keeps showing the entry in force.
TEST_F(ControlTest, PopupSelectorSendsNothingWhenNothingIsChosen) {
    IPopupMenu sub;
    sub.AddItem("inner");
    const struct {
        const char* what;
        std::vector<int> path;  // empty: dismissed (Escape, a click outside)
    } cases[] = {
        {"dismissed", {}},
        {"the ticked entry chosen again", {1}},
        {"an entry of a submenu chosen", {4, 0}},
    };
    auto* selector = new IMyPopupMenu(&plug, 0, 0, TestPlug::kFour, &bitmap);
    Attach(selector);
    selector->GetMenu()->AddItem(new IPopupMenuItem("more", 0, &sub));
    Open();
    plug.GetParam(TestPlug::kFour)->Set(1.0);
    g->SetParameterFromPlug(TestPlug::kFour, 1.0, false);
    IMouseMod left(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.path.empty()) responder.QueueMenuChoice(c.path);
        g->OnMouseDown(5, 5, &left);
        g->OnMouseUp(5, 5, &left);
        EXPECT_TRUE(plug.mChanges.empty());
        EXPECT_TRUE(plug.mInforms.empty());
        EXPECT_TRUE(plug.mBegins.empty());
        EXPECT_TRUE(plug.mEnds.empty());
        EXPECT_DOUBLE_EQ(selector->GetValue(), 1.0 / 3.0);
        EXPECT_EQ(plug.GetParam(TestPlug::kFour)->Int(), 1);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(selector->GetMenu()->GetItem(i)->GetChecked(), i == 1) << i;
    }
}

// What counts as the entry in force is the parameter's value, whoever set it last: a control whose own
// value lags behind the parameter neither sends that value on a dismissal nor takes a choice of it as
// no change.
TEST_F(ControlTest, PopupSelectorComparesAChoiceWithTheParameterNotWithItsOwnValue) {
    auto* selector = new IMyPopupMenu(&plug, 0, 0, TestPlug::kFour, &bitmap);
    Attach(selector);
    Open();
    ASSERT_DOUBLE_EQ(selector->GetValue(), 0.0);
    plug.GetParam(TestPlug::kFour)->Set(3.0);  // set behind the editor's back
    IMouseMod left(true);
    g->OnMouseDown(5, 5, &left);  // dismissed
    EXPECT_TRUE(plug.mInforms.empty());
    EXPECT_EQ(plug.GetParam(TestPlug::kFour)->Int(), 3);
    EXPECT_EQ(responder.mLastMenuFlags[3], IPopupMenuItem::kChecked);

    responder.QueueMenuChoice({0});  // the entry the control still shows, not the one in force
    g->OnMouseDown(5, 5, &left);
    EXPECT_EQ(plug.mInforms, std::vector<int>{TestPlug::kFour});
    EXPECT_EQ(plug.GetParam(TestPlug::kFour)->Int(), 0);
}

TEST_F(ControlTest, PopupSelectorIgnoresAChoiceInASubmenu) {
    auto* selector = new IMyPopupMenu(&plug, 0, 0, TestPlug::kFour, &bitmap);
    Attach(selector);
    IPopupMenu sub;
    sub.AddItem("inner");
    selector->GetMenu()->AddItem(new IPopupMenuItem("more", 0, &sub));
    Open();
    const double before = selector->GetValue();
    responder.QueueMenuChoice({4, 0});
    IMouseMod left(true);
    g->OnMouseDown(5, 5, &left);
    EXPECT_DOUBLE_EQ(selector->GetValue(), before);
    EXPECT_EQ(sub.GetChosenItemIdx(), 0);
}

TEST_F(ControlTest, ClickNotifierSendsItsCommandInsideThePress) {
    auto* meter = new IBitmapControlClick(&plug, 0, 0, -1, &bitmap, 21);
    Attach(meter);
    Open();
    EXPECT_TRUE(g->MouseDown(5, 5));
    ASSERT_EQ(plug.mChanges, std::vector<int>{21});
    EXPECT_TRUE(plug.mChangeDuringPress[0]);
    g->MouseUp(5, 5);
    EXPECT_FALSE(g->IsMouseDown());
    g->MouseDown(5, 5, HeadlessMouse(), 2);  // the double click's second press does nothing more
    EXPECT_EQ(plug.mChanges.size(), 1u);
    EXPECT_TRUE(plug.mBegins.empty());
}

TEST_F(ControlTest, ReadoutIsRedrawnOnlyWhenItsTextChanges) {
    IText style(12, &COLOR_WHITE);
    auto* readout = new ITextControl(&plug, IRECT(0, 0, 60, 20), &style, "-inf");
    const int idx = Attach(readout);
    Open();
    g->Tick();
    EXPECT_FALSE(readout->IsDirty());
    g->SetTextFromPlug(idx, "-inf");
    EXPECT_FALSE(readout->IsDirty());
    g->SetTextFromPlug(idx, "-12.5");
    EXPECT_TRUE(readout->IsDirty());
    EXPECT_TRUE(g->Tick());
    EXPECT_FALSE(g->Tick());  // texts ask for no second draw
    EXPECT_STREQ(readout->GetTextForDraw(), "-12.5");
}

TEST_F(ControlTest, HiddenAndGreyedControlsAreNotHit) {
    g->AttachPanelBackground(&COLOR_BLACK);
    auto* below = new ProbeControl(&plug, IRECT(0, 0, 50, 50), TestPlug::kCount);
    auto* above = new ProbeControl(&plug, IRECT(0, 0, 50, 50), TestPlug::kGain);
    Attach(below);
    Attach(above);
    Open();
    g->HideControl(TestPlug::kGain, true);
    EXPECT_EQ(g->GetParamIdxForPTAutomation(10, 10), TestPlug::kCount);
    g->HideControl(TestPlug::kGain, false);
    EXPECT_EQ(g->GetParamIdxForPTAutomation(10, 10), TestPlug::kGain);
    g->GrayOutControl(TestPlug::kGain, true);
    EXPECT_EQ(g->GetParamIdxForPTAutomation(10, 10), TestPlug::kCount);
    g->Tick();
    EXPECT_FLOAT_EQ(above->GetBlend()->mWeight, 0.25f);
    g->GrayOutControl(TestPlug::kGain, false);
    g->Tick();
    EXPECT_FLOAT_EQ(above->GetBlend()->mWeight, 1.0f);
}
