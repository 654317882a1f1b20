// What the editor redraws while it meters: a tick of programme draws the meters and read-outs that
// changed, never the hidden value fields at the origin nor the bounding box of everything, and after
// any run of ticks the screen is what a full redraw of the same state shows.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "EditorPicture.h"
#include "editor/DirtyAreas.h"

namespace {

constexpr long kTickFrames = 1764;  // 40 ms at 44.1 kHz: the editor's 25 ticks per second

void SetFromHost(TestQuenlix& plug, int idx, double value) {
    WDL_MutexLock lock(plug.GetMutex());
    plug.GetParam(idx)->Set(value);
    plug.OnParamChange(idx);
    plug.GetEditor()->SetParameterFromPlug(idx, value, false);
}

class QuenlixRedraw : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::ifstream(std::string(QUENLIX_SOURCE_DIR) + "/resources/img/background.png").good())
            GTEST_SKIP() << "the editor's images are not in resources/img";
        ticked = OpenEditor(tickedPlug);
        full = OpenEditor(fullPlug);
        ASSERT_NE(ticked, nullptr);
        ASSERT_NE(full, nullptr);
        TickUntilClean(ticked);
    }

    // The same programme into both plug-ins, the ticked editor ticking every 40 ms of it.
    void Meter(double seconds, const double* levelsDb) {
        const long ticks = static_cast<long>(seconds * 25.0);
        for (long t = 0; t < ticks; ++t) {
            RunProgramme(tickedHost, 2, levelsDb, kTickFrames / 44100.0);
            RunProgramme(fullHost, 2, levelsDb, kTickFrames / 44100.0);
            ticked->Tick();
        }
    }
    void SetBoth(int idx, double value) {
        SetFromHost(tickedPlug, idx, value);
        SetFromHost(fullPlug, idx, value);
    }
    // Pixels where the ticked screen differs from a full redraw of the other plug-in's editor.
    int DifferencesFromFullRedraw() {
        ticked->Tick();
        full->SetAllControlsDirty();
        TickUntilClean(full);
        int n = 0;
        for (int y = 0; y < ticked->Height(); ++y)
            for (int x = 0; x < ticked->Width(); ++x)
                n += ScreenPixel(ticked, x, y) != ScreenPixel(full, x, y);
        return n;
    }

    TestQuenlix tickedPlug, fullPlug;
    PluginHost tickedHost{tickedPlug}, fullHost{fullPlug};
    IGraphicsHeadless* ticked = nullptr;
    IGraphicsHeadless* full = nullptr;
};

}  // namespace

TEST_F(QuenlixRedraw, MeteringTickDrawsWhatChangedNotTheHiddenFieldsOrTheUnion) {
    const double levels[] = {-14.0, -20.0};
    for (double type : {0.0, 1.0}) {
        SetBoth(Quenlix::kType, type);
        Meter(3.0, levels);
        RunProgramme(tickedHost, 2, levels, kTickFrames / 44100.0);
        DirtyAreas areas;
        ASSERT_TRUE(ticked->CollectDirtyAreas(&areas));
        for (int i = 0; i < areas.Count(); ++i) {
            for (int c = 1; c < layout::kBackground; ++c) {
                ASSERT_TRUE(ticked->GetControl(c)->IsHidden());
                EXPECT_FALSE(areas[i].Intersects(ticked->GetControl(c)->GetRECT()))
                    << "type " << type << ": area " << i << " meets hidden field " << c;
            }
        }
        // The meters and read-outs that changed: a fraction of the (0, 0)-(460, 318) the hidden fields
        // and the read-outs' rectangles used to make of every tick.
        EXPECT_LT(areas.Pixels(), 460 * 318 / 4) << "type " << type;
        ticked->DrawAreas(areas);
    }
}

TEST_F(QuenlixRedraw, ScreenAfterTicksOfMeteringEqualsAFullRedraw) {
    const double loud[] = {-6.0, -9.0};
    const double quiet[] = {-45.0, -70.0};
    const double silence[] = {-400.0, -400.0};
    Meter(2.0, loud);
    EXPECT_EQ(DifferencesFromFullRedraw(), 0) << "RMS, programme";
    SetBoth(Quenlix::kRmsMeterMode, 1.0);  // +3 dB: silence reads -141.0, the widest text of the column
    Meter(1.0, silence);
    EXPECT_EQ(DifferencesFromFullRedraw(), 0) << "RMS +3 dB, silence";
    Meter(1.0, quiet);
    EXPECT_EQ(DifferencesFromFullRedraw(), 0) << "RMS +3 dB, quiet programme";
    SetBoth(Quenlix::kType, 1.0);
    Meter(2.0, loud);
    EXPECT_EQ(DifferencesFromFullRedraw(), 0) << "EBU, programme";
    SetBoth(Quenlix::kType, 0.0);
    Meter(1.0, quiet);
    EXPECT_EQ(DifferencesFromFullRedraw(), 0) << "back to RMS";
}
