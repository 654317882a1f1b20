// What a tick draws and puts on screen: the areas that changed, joined only when close; hidden
// controls add nothing; a read-out's text is drawn again wherever it reached; and whatever the ticks
// drew, the screen ends up as a full redraw shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "EditorTestUtil.h"
#include "TestPlug.h"
#include "editor/DirtyAreas.h"

namespace {

std::vector<IRECT> Sorted(const DirtyAreas& areas) {
    std::vector<IRECT> v;
    for (int i = 0; i < areas.Count(); ++i) v.push_back(areas[i]);
    std::sort(v.begin(), v.end(),
              [](const IRECT& a, const IRECT& b) { return a.L != b.L ? a.L < b.L : a.T < b.T; });
    return v;
}

std::vector<LICE_pixel> Screen(const IGraphicsHeadless* g) {
    const LICE_IBitmap* s = g->GetFramebuffer();
    std::vector<LICE_pixel> v;
    for (int y = 0; y < s->getHeight(); ++y)
        for (int x = 0; x < s->getWidth(); ++x) v.push_back(s->getBits()[y * s->getRowSpan() + x]);
    return v;
}

// Pixels that differ between what the ticks left on screen and a full redraw of the same state.
int DifferencesFromFullRedraw(IGraphicsHeadless* g) {
    const std::vector<LICE_pixel> ticked = Screen(g);
    g->SetAllControlsDirty();
    g->Tick();
    const std::vector<LICE_pixel> full = Screen(g);
    int n = 0;
    for (size_t i = 0; i < full.size(); ++i) n += ticked[i] != full[i];
    return n;
}

// Paints its rectangle in a colour of its value.
class Swatch : public IControl {
  public:
    using IControl::IControl;
    bool Draw(IGraphics* g) override {
        ++mDraws;
        const int v = static_cast<int>(GetValue() * 255.0);
        const IColor c(255, v, 255 - v, 40);
        IRECT r = *GetRECT();
        return g->FillIRect(&c, &r);
    }
    int mDraws = 0;
};

}  // namespace

TEST(DirtyAreasTest, JoinsOnlyWhatIsClose) {
    const struct {
        const char* what;
        std::vector<IRECT> added;
        std::vector<IRECT> areas;
    } cases[] = {
        {"nothing", {}, {}},
        {"an empty rectangle", {IRECT()}, {}},
        {"one twice", {IRECT(5, 5, 20, 20), IRECT(5, 5, 20, 20)}, {IRECT(5, 5, 20, 20)}},
        {"meters side by side",
         {IRECT(400, 74, 428, 290), IRECT(432, 74, 460, 290)},
         {IRECT(400, 74, 460, 290)}},
        {"read-outs under one another",
         {IRECT(290, 70, 360, 96), IRECT(290, 102, 360, 128)},
         {IRECT(290, 70, 360, 128)}},
        {"read-outs two rows apart",
         {IRECT(290, 70, 360, 96), IRECT(290, 134, 360, 160)},
         {IRECT(290, 70, 360, 96), IRECT(290, 134, 360, 160)}},
        {"opposite corners",
         {IRECT(0, 0, 60, 20), IRECT(400, 74, 428, 290)},
         {IRECT(0, 0, 60, 20), IRECT(400, 74, 428, 290)}},
        {"a join that brings a third one close",
         {IRECT(0, 0, 100, 10), IRECT(0, 30, 100, 40), IRECT(0, 15, 100, 25)},
         {IRECT(0, 0, 100, 40)}},
        {"one inside another", {IRECT(0, 0, 100, 100), IRECT(10, 10, 20, 20)}, {IRECT(0, 0, 100, 100)}},
    };
    for (const auto& c : cases) {
        DirtyAreas areas;
        for (const IRECT& r : c.added) areas.Add(r);
        EXPECT_EQ(Sorted(areas), c.areas) << c.what;
    }
}

TEST(DirtyAreasTest, MoreAreasThanItHoldsAreJoinedAndStillCoverEverything) {
    DirtyAreas areas;
    std::vector<IRECT> added;
    for (int i = 0; i < 3 * DirtyAreas::kCapacity; ++i) {
        added.push_back(IRECT(100 * (i % 7), 100 * (i / 7), 100 * (i % 7) + 5, 100 * (i / 7) + 5));
        areas.Add(added.back());
    }
    EXPECT_LE(areas.Count(), DirtyAreas::kCapacity);
    for (const IRECT& r : added) {
        bool covered = false;
        for (int i = 0; i < areas.Count(); ++i)
            covered =
                covered || (areas[i].L <= r.L && areas[i].T <= r.T && areas[i].R >= r.R && areas[i].B >= r.B);
        EXPECT_TRUE(covered) << r.L << "," << r.T;
    }
}

class DirtyAreaDrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g = new IGraphicsHeadless(&plug, 200, 100);
        g->AttachPanelBackground(&COLOR_BLACK);
    }
    void Open() {
        plug.AttachGraphics(g);
        g->OpenWindow(nullptr);
        while (g->Tick()) {
        }
    }
    TestPlug plug;
    IGraphicsHeadless* g = nullptr;
};

TEST_F(DirtyAreaDrawTest, HiddenControlsAddNothingAndFarChangesStayApart) {
    // Hidden value fields at the origin, fed values as the plug-in feeds them every refresh; two meters
    // far apart and an unchanged control between them.
    for (int i = 0; i < 3; ++i) g->AttachControl(new Swatch(&plug, IRECT(0, 0, 60, 20), TestPlug::kGain));
    const int left = g->AttachControl(new Swatch(&plug, IRECT(10, 40, 20, 90)));
    auto* middle = new Swatch(&plug, IRECT(90, 40, 100, 90));
    g->AttachControl(middle);
    const int right = g->AttachControl(new Swatch(&plug, IRECT(180, 40, 190, 90)));
    g->HideControl(TestPlug::kGain, true);
    g->SetControlFromPlug(left, 0.0);
    g->SetControlFromPlug(right, 0.0);
    Open();
    const int middleDraws = middle->mDraws;

    for (int tick = 1; tick <= 3; ++tick) {
        g->SetParameterFromPlug(TestPlug::kGain, tick / 10.0, true);
        g->SetControlFromPlug(left, tick / 4.0);
        g->SetControlFromPlug(right, tick / 4.0);
        DirtyAreas areas;
        ASSERT_TRUE(g->CollectDirtyAreas(&areas));
        EXPECT_EQ(Sorted(areas), (std::vector<IRECT>{IRECT(10, 40, 20, 90), IRECT(180, 40, 190, 90)}))
            << "tick " << tick;
        g->DrawAreas(areas);
    }
    EXPECT_EQ(middle->mDraws, middleDraws);
    EXPECT_EQ(DifferencesFromFullRedraw(g), 0);
}

TEST_F(DirtyAreaDrawTest, ReadoutTextReachingPastItsRectangleIsDrawnAgainWhereItReached) {
    // Right-aligned in a box too narrow for a long text: the text reaches far to the left of the box.
    const IText style(18, &COLOR_WHITE, "Monaco", IText::kStyleBold, IText::kAlignFar);
    auto* readout = new ITextControl(&plug, IRECT(150, 10, 180, 30), &style, "-inf");
    const int idx = g->AttachControl(readout);
    auto* meter = new Swatch(&plug, IRECT(20, 60, 30, 90));
    const int meterIdx = g->AttachControl(meter);
    g->SetControlFromPlug(meterIdx, 0.0);
    Open();

    const char* texts[] = {"-141.0", "-1.0", "-141.0", "", "-23.5", "-inf"};
    for (const char* text : texts) {
        g->SetTextFromPlug(idx, text);
        g->SetControlFromPlug(meterIdx, meter->GetValue() > 0.5 ? 0.1 : 0.9);
        DirtyAreas areas;
        g->CollectDirtyAreas(&areas);
        if (text[0]) {
            const IRECT area = readout->GetDrawArea();
            EXPECT_LT(area.L, 150) << text;  // wider than the box
        }
        g->DrawAreas(areas);
        EXPECT_EQ(DifferencesFromFullRedraw(g), 0) << "after " << text;
    }
}

TEST_F(DirtyAreaDrawTest, ScreenAfterRandomChangesEqualsAFullRedraw) {
    const IText style(12, &COLOR_WHITE, "Monaco", IText::kStyleNormal, IText::kAlignCenter);
    std::vector<int> swatches, readouts;
    for (int i = 0; i < 8; ++i) {
        swatches.push_back(
            g->AttachControl(new Swatch(&plug, IRECT(10 + 22 * i, 10 + 7 * i, 30 + 22 * i, 50 + 5 * i))));
        g->SetControlFromPlug(swatches.back(), 0.0);
        readouts.push_back(
            g->AttachControl(new ITextControl(&plug, IRECT(5 + 24 * i, 60, 25 + 24 * i, 75), &style, "-")));
    }
    Open();
    std::mt19937 rng(5);
    const char* words[] = {"", "-12.5", "x", "-141.0", "+3", "---", "inf"};
    for (int step = 0; step < 300; ++step) {
        const int k = static_cast<int>(rng() % 8);
        switch (rng() % 4) {
            case 0:
                g->SetControlFromPlug(swatches[k], (rng() % 100) / 100.0);
                break;
            case 1:
                g->SetTextFromPlug(readouts[k], words[rng() % 7]);
                break;
            case 2:
                g->GetControl(swatches[k])->Hide(!g->GetControl(swatches[k])->IsHidden());
                break;
            default:
                g->GetControl(readouts[k])->Hide(!g->GetControl(readouts[k])->IsHidden());
                break;
        }
        if (rng() % 3 == 0) g->Tick();
        if (step % 50 == 49) {
            g->Tick();
            ASSERT_EQ(DifferencesFromFullRedraw(g), 0) << "step " << step;
        }
    }
}
