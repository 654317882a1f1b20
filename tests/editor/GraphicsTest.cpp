// The editor core: dirty collection and the draw cycle, values from the plug-in side, and the routing
// of mouse and key events.
#include <gtest/gtest.h>

#include "EditorTestUtil.h"
#include "TestPlug.h"

namespace {

// Records the input routed to it.
class InputProbe : public ProbeControl {
  public:
    using ProbeControl::ProbeControl;
    void OnMouseDown(int, int, IMouseMod*) override { ++mDowns; }
    void OnMouseUp(int, int, IMouseMod*) override { ++mUps; }
    void OnMouseDrag(int, int, int dX, int dY, IMouseMod*) override {
        ++mDrags;
        mLastDX = dX;
        mLastDY = dY;
    }
    bool OnKeyDown(int, int, int key) override {
        mLastKey = key;
        return true;
    }
    void OnMouseOver(int, int, IMouseMod*) override { ++mOvers; }
    void OnMouseOut() override { ++mOuts; }
    int mDowns = 0, mUps = 0, mDrags = 0, mLastDX = 0, mLastDY = 0, mLastKey = -1, mOvers = 0, mOuts = 0;
};

class GraphicsTest : public ::testing::Test {
  protected:
    void SetUp() override { g = new IGraphicsHeadless(&plug, 100, 100); }
    void Open() {
        plug.AttachGraphics(g);
        g->OpenWindow(nullptr);
    }
    TestPlug plug;
    IGraphicsHeadless* g = nullptr;
    IMouseMod left{true};
};

}  // namespace

TEST_F(GraphicsTest, EditorWithoutControlsDrawsNothing) {
    Open();
    IRECT r(0, 0, 10, 10);
    EXPECT_TRUE(g->Draw(&r));
    EXPECT_EQ(g->ScreenUpdates(), 0);
    IRECT none;
    EXPECT_FALSE(g->IsDirty(&none));
}

TEST_F(GraphicsTest, DirtyCollectionUnitesRectanglesAndCountsEmptyOnes) {
    auto* a = new ProbeControl(&plug, IRECT(10, 10, 20, 20));
    auto* b = new ProbeControl(&plug, IRECT(30, 5, 40, 15));
    auto* empty = new ProbeControl(&plug, IRECT());
    g->AttachControl(a);
    g->AttachControl(b);
    g->AttachControl(empty);
    Open();
    IRECT r;
    EXPECT_TRUE(g->IsDirty(&r));
    EXPECT_EQ(r, IRECT(10, 5, 40, 20));
    EXPECT_TRUE(g->Tick());
    EXPECT_EQ(a->mDraws, 1);
    EXPECT_EQ(empty->mDraws, 0);
    // The empty control is cleaned without being drawn, so the editor comes to rest.
    IRECT again;
    EXPECT_FALSE(g->IsDirty(&again));

    empty->SetDirty(false);
    IRECT onlyEmpty;
    EXPECT_TRUE(g->IsDirty(&onlyEmpty));
    EXPECT_TRUE(onlyEmpty.Empty());
}

TEST_F(GraphicsTest, HiddenDirtyControlIsCleanedButNotDrawn) {
    auto* bg = new ProbeControl(&plug, IRECT(0, 0, 100, 100));
    auto* hidden = new ProbeControl(&plug, IRECT(10, 10, 20, 20), TestPlug::kCount);
    g->AttachControl(bg);
    g->AttachControl(hidden);
    Open();
    g->HideControl(TestPlug::kCount, true);
    EXPECT_TRUE(g->Tick());
    EXPECT_EQ(hidden->mDraws, 0);
    EXPECT_EQ(bg->mDraws, 1);
    // It never showed, so its request for one more draw leaves nothing to draw beneath it.
    EXPECT_FALSE(g->Tick());
    EXPECT_EQ(hidden->mDraws, 0);
    EXPECT_FALSE(hidden->IsDirty());

    // Shown, then hidden again: the area it showed is drawn once more (only there), then all rests.
    g->HideControl(TestPlug::kCount, false);
    EXPECT_TRUE(g->Tick());
    EXPECT_TRUE(g->Tick());
    EXPECT_EQ(hidden->mDraws, 2);
    g->HideControl(TestPlug::kCount, true);
    IRECT beneath;
    EXPECT_TRUE(g->IsDirty(&beneath));
    EXPECT_EQ(beneath, IRECT(10, 10, 20, 20));
    EXPECT_TRUE(g->Draw(&beneath));
    EXPECT_EQ(bg->mDraws, 4);  // the first draw, the shown control's two, and the area beneath
    EXPECT_EQ(hidden->mDraws, 2);
    EXPECT_FALSE(g->Tick());
}

TEST_F(GraphicsTest, ChangeOutsideTheDrawnAreaWaitsForTheNextTick) {
    auto* a = new ProbeControl(&plug, IRECT(0, 0, 10, 10));
    auto* b = new ProbeControl(&plug, IRECT(50, 50, 60, 60));
    g->AttachControl(a);
    const int bIdx = g->AttachControl(b);
    Open();
    g->Tick();
    g->SetControlFromPlug(bIdx, 0.3);  // records the default
    g->SetControlFromPlug(bIdx, 0.6);
    // A draw of another area (as a window system may ask for) must not swallow b's change.
    IRECT other(0, 0, 10, 10);
    g->Draw(&other);
    EXPECT_EQ(b->mDraws, 1);
    EXPECT_TRUE(g->Tick());
    EXPECT_EQ(b->mDraws, 2);
    EXPECT_DOUBLE_EQ(b->mDrawnValue, 0.6);
}

TEST_F(GraphicsTest, ParameterValueReachesBoundAndAuxiliaryControls) {
    auto* bound = new ProbeControl(&plug, IRECT(0, 0, 10, 10), TestPlug::kGain);
    auto* aux = new ProbeControl(&plug, IRECT(0, 0, 10, 10), TestPlug::kCount);
    aux->AddAuxParam(TestPlug::kFlag);
    aux->AddAuxParam(TestPlug::kGain);
    auto* both = new ProbeControl(&plug, IRECT(0, 0, 10, 10), TestPlug::kGain);
    both->AddAuxParam(TestPlug::kGain);
    g->AttachControl(bound);
    g->AttachControl(aux);
    g->AttachControl(both);
    Open();
    g->SetParameterFromPlug(TestPlug::kGain, 12.0, false);  // raw: the top of -60..12
    EXPECT_DOUBLE_EQ(bound->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(aux->GetAuxParamValue(1), 1.0);
    EXPECT_DOUBLE_EQ(aux->GetAuxParamValue(0), 0.0);
    EXPECT_DOUBLE_EQ(both->GetValue(), 1.0);
    EXPECT_DOUBLE_EQ(both->GetAuxParamValue(0), 1.0);
    // Indices nobody uses, or outside the list, change nothing.
    g->SetParameterFromPlug(99, 0.5, false);
    g->SetControlFromPlug(-1, 0.5);
    g->SetControlFromPlug(3, 0.5);
    g->SetTextFromPlug(0, "not a read-out");
    EXPECT_DOUBLE_EQ(bound->GetValue(), 1.0);
}

TEST_F(GraphicsTest, DragAtTheSamePointIsNotDelivered) {
    auto* c = new InputProbe(&plug, IRECT(0, 0, 50, 50));
    g->AttachControl(c);
    Open();
    g->OnMouseDown(10, 10, &left);
    g->OnMouseDrag(10, 10, &left);
    EXPECT_EQ(c->mDrags, 0);
    g->OnMouseDrag(13, 8, &left);
    EXPECT_EQ(c->mDrags, 1);
    EXPECT_EQ(c->mLastDX, 3);
    EXPECT_EQ(c->mLastDY, -2);
    g->OnMouseDrag(13, 8, &left);
    EXPECT_EQ(c->mDrags, 1);
    g->OnMouseUp(80, 80, &left);  // released outside: still the captured control
    EXPECT_EQ(c->mUps, 1);
    g->OnMouseDrag(20, 20, &left);  // no capture any more
    EXPECT_EQ(c->mDrags, 1);
}

TEST_F(GraphicsTest, MouseDownFlagCoversThePressEvenOverNothing) {
    Open();
    g->OnMouseDown(5, 5, &left);
    EXPECT_TRUE(g->IsMouseDown());
    g->OnMouseDrag(6, 6, &left);
    EXPECT_TRUE(g->IsMouseDown());
    g->OnMouseUp(6, 6, &left);
    EXPECT_FALSE(g->IsMouseDown());
}

TEST_F(GraphicsTest, KeyOverTheBackgroundIsNotTaken) {
    g->AttachPanelBackground(&COLOR_BLACK);
    auto* c = new InputProbe(&plug, IRECT(50, 50, 60, 60));
    g->AttachControl(c);
    Open();
    g->MouseMoved(5, 5);
    EXPECT_FALSE(g->KeyDown(0, '7'));
    g->MouseMoved(55, 55);
    EXPECT_TRUE(g->KeyDown(0, '7'));
    EXPECT_EQ(c->mLastKey, 12);
}

TEST_F(GraphicsTest, AutomationHitTestIsReportedOnce) {
    g->AttachPanelBackground(&COLOR_BLACK);
    g->AttachControl(new ProbeControl(&plug, IRECT(10, 10, 20, 20), TestPlug::kGain));
    g->AttachControl(new ProbeControl(&plug, IRECT(30, 30, 40, 40)));
    Open();
    HeadlessMouse automation;
    automation.control = true;
    automation.command = true;
    EXPECT_FALSE(g->MouseDown(15, 15, automation));  // goes to the host
    EXPECT_FALSE(g->IsMouseDown());
    EXPECT_EQ(g->GetLastClickedParamForPTAutomation(), TestPlug::kGain);
    EXPECT_EQ(g->GetLastClickedParamForPTAutomation(), -1);
    EXPECT_TRUE(g->MouseDown(35, 35, automation));  // unbound control: an ordinary click
    EXPECT_EQ(g->GetLastClickedParamForPTAutomation(), -1);
    EXPECT_EQ(g->GetParamIdxForPTAutomation(70, 70), -1);  // background
}

TEST_F(GraphicsTest, DoubleClickResetsToTheDefault) {
    auto* c = new ProbeControl(&plug, IRECT(0, 0, 20, 20), TestPlug::kGain);
    g->AttachControl(c);
    Open();
    const double def = c->GetDefaultValue();
    g->OnMouseWheel(5, 5, &left, 10);
    ASSERT_NE(c->GetValue(), def);
    EXPECT_FALSE(g->OnMouseDblClick(5, 5, &left));
    EXPECT_DOUBLE_EQ(c->GetValue(), def);
    EXPECT_EQ(g->GetMouseCapture(), -1);
}

TEST_F(GraphicsTest, MouseOverIsRoutedOnlyWhenEnabled) {
    auto* a = new InputProbe(&plug, IRECT(0, 0, 10, 10));
    auto* b = new InputProbe(&plug, IRECT(20, 0, 30, 10));
    g->AttachControl(a);
    g->AttachControl(b);
    Open();
    EXPECT_FALSE(g->OnMouseOver(5, 5, &left));
    EXPECT_EQ(a->mOvers, 0);
    g->HandleMouseOver(true);
    EXPECT_TRUE(g->OnMouseOver(5, 5, &left));
    EXPECT_TRUE(g->OnMouseOver(25, 5, &left));
    EXPECT_EQ(a->mOvers, 1);
    EXPECT_EQ(a->mOuts, 1);
    EXPECT_EQ(b->mOvers, 1);
}

TEST_F(GraphicsTest, ClosedWindowKeepsTheEditorAndReopensDirty) {
    auto* c = new ProbeControl(&plug, IRECT(0, 0, 10, 10));
    const int idx = g->AttachControl(c);
    Open();
    g->Tick();
    g->CloseWindow();
    EXPECT_FALSE(g->WindowIsOpen());
    g->SetControlFromPlug(idx, 0.2);
    g->SetControlFromPlug(idx, 0.4);
    EXPECT_FALSE(g->Tick());
    g->OpenWindow(nullptr);
    g->SetAllControlsDirty();
    EXPECT_TRUE(g->Tick());
    EXPECT_DOUBLE_EQ(c->mDrawnValue, 0.4);
}

TEST_F(GraphicsTest, NonStrictDrawingRedrawsAroundEachDirtyControl) {
    auto* bg = new ProbeControl(&plug, IRECT(0, 0, 100, 100));
    auto* a = new ProbeControl(&plug, IRECT(10, 10, 30, 30));
    auto* overlapping = new ProbeControl(&plug, IRECT(20, 20, 40, 40));
    auto* apart = new ProbeControl(&plug, IRECT(60, 60, 70, 70));
    auto* hidden = new ProbeControl(&plug, IRECT(60, 60, 70, 70), TestPlug::kCount);
    for (IControl* c :
         {static_cast<IControl*>(bg), static_cast<IControl*>(a), static_cast<IControl*>(overlapping),
          static_cast<IControl*>(apart), static_cast<IControl*>(hidden)})
        g->AttachControl(c);
    g->SetStrict(false);
    Open();
    g->HideControl(TestPlug::kCount, true);
    // Background dirty: everything visible is drawn once.
    g->Tick();
    EXPECT_EQ(bg->mDraws, 1);
    EXPECT_EQ(apart->mDraws, 1);
    EXPECT_EQ(hidden->mDraws, 0);
    // The hidden control is neither drawn nor cleaned with the background; its own turn follows.
    for (int i = 0; i < 5 && g->Tick(); ++i) {
    }
    EXPECT_EQ(hidden->mDraws, 0);
    const int bgDraws = bg->mDraws, aDraws = a->mDraws, oDraws = overlapping->mDraws, apDraws = apart->mDraws;

    // Only a is dirty: it and what meets its rectangle (background, the overlapping control) are drawn.
    a->SetDirty(false);
    EXPECT_TRUE(g->Tick());
    EXPECT_EQ(bg->mDraws, bgDraws + 1);
    EXPECT_EQ(a->mDraws, aDraws + 1);
    EXPECT_EQ(overlapping->mDraws, oDraws + 1);
    EXPECT_EQ(apart->mDraws, apDraws);
    EXPECT_FALSE(g->Tick());
}

// The off-screen raster is made at its first use, at the editor's size as it is then: an editor
// resized before its first draw is drawn at its new size.
TEST_F(GraphicsTest, TheRasterIsMadeAtItsFirstUseAtTheSizeInForce) {
    plug.AttachGraphics(g);  // readies the rasters
    g->Resize(120, 30);
    LICE_IBitmap* raster = g->GetDrawBitmap();
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->getWidth(), 120);
    EXPECT_EQ(raster->getHeight(), 30);
    EXPECT_EQ(g->GetDrawBitmap(), raster) << "made once";
}
