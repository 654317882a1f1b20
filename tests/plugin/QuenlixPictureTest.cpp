// The editor as it appears on screen, rendered through the headless window system: a -20 dBFS stereo
// sine must light the meters of channels 1 and 2 to their level and put ink into the read-outs, where
// silence leaves them dark.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "EditorPicture.h"
#include "plugin/QuenlixLayout.h"
#include "raster/Bitmap.h"

namespace {

class Picture : public ::testing::Test {
  protected:
    void SetUp() override {
        // Only a tree without the images may skip; images that exist must load.
        if (!std::ifstream(std::string(QUENLIX_SOURCE_DIR) + "/resources/img/background.png").good())
            GTEST_SKIP() << "the editor's images are not in resources/img";
        ASSERT_TRUE(ControlHasImage(silent, layout::kBackground));
        ASSERT_TRUE(ControlHasImage(silent, layout::LedMeter(0)));
        ASSERT_TRUE(ControlHasImage(silent, layout::ClipLamp(0)));
        silentEditor = OpenEditor(silent);
        sineEditor = OpenEditor(sine);
        ASSERT_NE(silentEditor, nullptr);
        ASSERT_NE(sineEditor, nullptr);

        silentHost.RunConstant(2 * 44100, 0.0f);
        sineHost.RunSine(2 * 44100, Amplitude(-20.0), 1000.0);
        TickUntilClean(silentEditor);
        TickUntilClean(sineEditor);
        if (const char* path = std::getenv("QUENLIX_PICTURE_PNG")) sineEditor->WriteScreenPNG(path);
    }

    // Pixels of the rectangle that differ between the two screens.
    int Differences(const IRECT& r) {
        int n = 0;
        for (int y = r.T; y < r.B; ++y)
            for (int x = r.L; x < r.R; ++x)
                if (ScreenPixel(silentEditor, x, y) != ScreenPixel(sineEditor, x, y)) ++n;
        return n;
    }
    // Topmost row of the rectangle with a difference, or -1.
    int TopDifference(const IRECT& r) {
        for (int y = r.T; y < r.B; ++y)
            for (int x = r.L; x < r.R; ++x)
                if (ScreenPixel(silentEditor, x, y) != ScreenPixel(sineEditor, x, y)) return y;
        return -1;
    }

    TestQuenlix silent;
    TestQuenlix sine;
    PluginHost silentHost{silent};
    PluginHost sineHost{sine};
    IGraphicsHeadless* silentEditor = nullptr;
    IGraphicsHeadless* sineEditor = nullptr;
};

TEST_F(Picture, ScreenIsTheEditorsSize) {
    const LICE_IBitmap* screen = sineEditor->GetFramebuffer();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->getWidth(), 616);
    EXPECT_EQ(screen->getHeight(), 320);
    EXPECT_GT(sineEditor->ScreenUpdates(), 0);
}

TEST_F(Picture, SineLightsTheMetersOfItsChannelsToItsLevel) {
    for (int k = 0; k < 6; ++k) {
        SCOPED_TRACE(k);
        const IRECT meter = *sine.GetEditor()->GetControl(layout::LedMeter(k))->GetRECT();
        if (k < 2) {
            EXPECT_GT(Differences(meter), 50);
            // -20 dB lies 40 of the 72 dB above the bottom of the scale: the lit part ends near there.
            const int top = TopDifference(meter);
            const double heightFraction = double(meter.B - top) / meter.H();
            EXPECT_GT(heightFraction, 0.35);
            EXPECT_LT(heightFraction, 0.75);
        } else {
            EXPECT_EQ(Differences(meter), 0);
        }
    }
}

TEST_F(Picture, ReadoutsShowInkWhereSilenceShowsInf) {
    // The RMS read-outs: "-20.0" and the like instead of "-inf".
    for (int i = 0; i < 5; ++i) {
        const int top = QuenlixLayout::kRmsReadoutTops[i];
        EXPECT_GT(Differences(IRECT(303, top, 357, top + 20)), 10) << i;
    }
    // The peak read-outs of channels 1 and 2, not of the silent channels.
    EXPECT_GT(Differences(IRECT(401, 292, 429, 301)), 5);
    EXPECT_GT(Differences(IRECT(433, 292, 461, 301)), 5);
    EXPECT_EQ(Differences(IRECT(465, 292, 493, 301)), 0);
    // The selectors and the version text do not move.
    EXPECT_EQ(Differences(IRECT(0, 0, 616, 70)), 0);
}

TEST_F(Picture, EbuTypeShowsItsOwnBackgroundFrame) {
    HostSetsParam(sine, Quenlix::kType, 1);
    TickUntilClean(sineEditor);
    // The channel selector area now shows the EBU selector and the background's second frame.
    EXPECT_GT(Differences(IRECT(0, 0, 616, 320)), 1000);
}

}  // namespace
