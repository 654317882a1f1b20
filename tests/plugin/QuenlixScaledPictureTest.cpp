// The editor drawn at 1.5 and 2 times its size through the headless window system: the screen is the
// scaled size, every image stands at its scaled rectangle showing the frame of its value from the image
// of that scale, text is drawn at the scaled size rather than enlarged, and going back to 1x gives the
// 1x picture again.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "EditorPicture.h"
#include "plugin/QuenlixLayout.h"
#include "raster/Bitmap.h"
#include "raster/PNG.h"

namespace {

std::vector<LICE_pixel> Screen(const IGraphicsHeadless* editor) {
    const LICE_IBitmap* fb = editor->GetFramebuffer();
    std::vector<LICE_pixel> out;
    for (int y = 0; y < fb->getHeight(); ++y)
        for (int x = 0; x < fb->getWidth(); ++x) out.push_back(fb->getBits()[y * fb->getRowSpan() + x]);
    return out;
}

class ScaledPicture : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::ifstream(std::string(QUENLIX_SOURCE_DIR) + "/resources/img/background@2x.png").good())
            GTEST_SKIP() << "the editor's images are not in resources/img";
        editor = OpenEditor(plug);
        ASSERT_NE(editor, nullptr);
        // A sine on channel 1 only: its meter lit to a frame of its own, the others dark.
        host.RunSine(2 * 44100, Amplitude(-20.0), 1000.0);
    }

    // The frame (1-based) of `file` at `scale` shown at the control's rectangle on screen (clipped to
    // rows from `fromRow` of the frame), or 0 when none matches.
    int ShownFrame(int controlIdx, const char* file, int frames, bool horizontal, double scale, int fromRow) {
        std::string name = std::string(QUENLIX_SOURCE_DIR) + "/resources/img/" + file;
        if (scale != 1.0) name.insert(name.size() - 4, scale == 2.0 ? "@2x" : "@1.5x");
        std::unique_ptr<LICE_IBitmap> strip(LICE_LoadPNG(name.c_str()));
        if (!strip) return 0;
        const int fw = horizontal ? strip->getWidth() / frames : strip->getWidth();
        const int fh = horizontal ? strip->getHeight() : strip->getHeight() / frames;
        const IRECT r = editor->ToScreen(*plug.GetEditor()->GetControl(controlIdx)->GetRECT());
        for (int f = 1; f <= frames; ++f) {
            const int ox = horizontal ? (f - 1) * fw : 0, oy = horizontal ? 0 : (f - 1) * fh;
            bool same = true;
            for (int y = fromRow; y < std::min(fh, r.H()) && same; ++y)
                for (int x = 0; x < std::min(fw, r.W()) && same; ++x)
                    same = ScreenPixel(editor, r.L + x, r.T + y) ==
                           (strip->getBits()[(oy + y) * strip->getRowSpan() + ox + x] | 0xFFu);
            if (same) return f;
        }
        return 0;
    }

    TestQuenlix plug;
    PluginHost host{plug};
    IGraphicsHeadless* editor = nullptr;
};

}  // namespace

TEST_F(ScaledPicture, ImagesStandAtTheirScaledRectanglesShowingTheFrameOfTheirValue) {
    struct Case {
        double scale;
        int width, height;
    };
    const Case cases[] = {{1.0, 616, 320}, {1.5, 924, 480}, {2.0, 1232, 640}};
    std::vector<int> frames;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scale);
        editor->SetScale(c.scale);
        TickUntilClean(editor);
        ASSERT_EQ(editor->GetFramebuffer()->getWidth(), c.width);
        ASSERT_EQ(editor->GetFramebuffer()->getHeight(), c.height);
        // Controls keep their 1x rectangles whatever the scale.
        EXPECT_EQ(plug.GetEditor()->GetControl(layout::LedMeter(0))->GetRECT()->L, QuenlixLayout::kMeterLeft);
        // Meters below their clip lamps (drawn over their top rows), the lamps, the opaque background.
        const int lampRows =
            editor->ToScreen(QuenlixLayout::kClipLampTop + 5) - editor->ToScreen(QuenlixLayout::kMeterTop);
        const int lit = ShownFrame(layout::LedMeter(0), "led_meter_12-60db.png", 73, true, c.scale, lampRows);
        const int dark =
            ShownFrame(layout::LedMeter(3), "led_meter_12-60db.png", 73, true, c.scale, lampRows);
        const int lamp = ShownFrame(layout::ClipLamp(0), "led_clip.png", 2, false, c.scale, 0);
        EXPECT_GT(lit, 1);
        EXPECT_EQ(dark, 1);
        EXPECT_EQ(lamp, 1);
        frames.push_back(lit);
    }
    // Every scale shows the same level.
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(frames[2], frames[0]);
}

TEST_F(ScaledPicture, TextIsDrawnAtTwiceTheSizeNotEnlarged) {
    editor->SetScale(1.0);
    TickUntilClean(editor);
    const std::vector<LICE_pixel> one = Screen(editor);
    editor->SetScale(2.0);
    TickUntilClean(editor);
    const LICE_IBitmap* two = editor->GetFramebuffer();
    // In the read-out column: a doubled 1x picture repeats every pixel in 2 x 2 blocks; the text drawn at
    // twice the size has edges of its own, yet puts ink in the same places.
    const IRECT readouts(QuenlixLayout::kReadoutLeft, QuenlixLayout::kRmsReadoutTops[0],
                         QuenlixLayout::kReadoutRight, QuenlixLayout::kRmsReadoutTops[5] + 20);
    int notDoubled = 0, inkOne = 0, inkTwo = 0;
    for (int y = readouts.T; y < readouts.B; ++y)
        for (int x = readouts.L; x < readouts.R; ++x) {
            const LICE_pixel p = one[static_cast<size_t>(y) * 616 + x];
            inkOne += LICE_GETR(p) > 128;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const LICE_pixel q = two->getBits()[(2 * y + dy) * two->getRowSpan() + 2 * x + dx];
                    notDoubled += q != p;
                    inkTwo += LICE_GETR(q) > 128;
                }
        }
    EXPECT_GT(notDoubled, 500);
    EXPECT_GT(inkOne, 50);
    // Four times the area of ink, give or take the shapes of glyphs of another size.
    EXPECT_GT(inkTwo, inkOne * 2);
    EXPECT_LT(inkTwo, inkOne * 8);
}

TEST_F(ScaledPicture, BackAtOneTheScreenIsTheOneTimesPictureAgain) {
    TickUntilClean(editor);
    const std::vector<LICE_pixel> before = Screen(editor);
    editor->SetScale(2.0);
    TickUntilClean(editor);
    editor->SetScale(1.0);
    TickUntilClean(editor);
    EXPECT_EQ(editor->GetFramebuffer()->getWidth(), 616);
    EXPECT_TRUE(Screen(editor) == before);
}
