// The committed editor images against what the editor does with them: frame sizes and counts,
// LED frames lighting one segment per dB, legible read-out areas, and agreement with the
// generator's current drawing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "raster/LICE.h"
#include "tools/images/ImageLayout.h"
#include "tools/images/ImageSet.h"
#include "tools/images/Painter.h"

using namespace quenlix::images;

namespace {

struct Expected {
    const char* file;
    int frames;
    bool horizontal;
    int frameWidth;
    int frameHeight;
};

// What the editor layout loads, and the frame size each control's position leaves room for.
const Expected EXPECTED[] = {
    {"background.png", 2, false, 616, 320},
    {"led_clip.png", 2, false, METER_FRAME_WIDTH, CLIP_HEIGHT},
    {"led_meter_12-60db.png", 73, true, METER_FRAME_WIDTH, METER_FRAME_HEIGHT},
    {"selector_mode.png", 2, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
    {"value.png", 1, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
    {"selector_offon.png", 2, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
    {"selector_chconf_rms.png", 5, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
    {"selector_metermode_rms.png", 2, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
    {"selector_chconf_ebu.png", 4, false, SELECTOR_WIDTH, SELECTOR_HEIGHT},
};

int luminance(LICE_pixel p) {
    return (LICE_GETR(p) * 3 + LICE_GETG(p) * 6 + LICE_GETB(p)) / 10;
}

class CommittedImages : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (const Expected& e : EXPECTED) {
            std::string error;
            const std::string path = std::string(QUENLIX_IMAGE_DIR) + "/" + e.file;
            LICE_IBitmap* bm = LICE_LoadPNG(path.c_str(), nullptr, &error);
            ASSERT_NE(bm, nullptr) << path << ": " << error;
            images()[e.file].reset(bm);
        }
    }
    static void TearDownTestSuite() { images().clear(); }

    static std::map<std::string, std::unique_ptr<LICE_IBitmap>>& images() {
        static std::map<std::string, std::unique_ptr<LICE_IBitmap>> loaded;
        return loaded;
    }
    static const LICE_IBitmap& image(const char* file) { return *images().at(file); }
};

TEST_F(CommittedImages, FramesHaveTheSizesAndCountsTheEditorLoadsThemWith) {
    for (const Expected& e : EXPECTED) {
        const LICE_IBitmap& bm = image(e.file);
        const int w = e.horizontal ? e.frameWidth * e.frames : e.frameWidth;
        const int h = e.horizontal ? e.frameHeight : e.frameHeight * e.frames;
        EXPECT_EQ(bm.getWidth(), w) << e.file;
        EXPECT_EQ(bm.getHeight(), h) << e.file;
    }
    // Controls placed at their positions must not run into their neighbours.
    EXPECT_LE(image("selector_mode.png").getWidth(), 72);
    EXPECT_LE(image("led_meter_12-60db.png").getWidth() / METER_FRAMES, METER_PITCH);
    EXPECT_LE(METER_Y + image("led_meter_12-60db.png").getHeight(), PEAK_READOUT_Y);
    EXPECT_LE(SELECTOR_Y + image("value.png").getHeight(), METER_Y);
}

TEST_F(CommittedImages, LedFrameLightsOneSegmentPerDbFromTheBottom) {
    const LICE_IBitmap& strip = image("led_meter_12-60db.png");
    const int column = METER_FRAME_WIDTH / 2;
    for (int frame = 1; frame <= METER_FRAMES; ++frame) {
        const int x = (frame - 1) * METER_FRAME_WIDTH + column;
        for (int k = 1; k <= METER_SEGMENTS; ++k) {
            const LICE_pixel p = LICE_GetPixel(&strip, x, segmentTopRow(k) + 1);
            const bool lit = luminance(p) > 90;
            ASSERT_EQ(lit, k < frame) << "frame " << frame << ", segment " << k;
        }
    }
}

TEST_F(CommittedImages, LedSegmentsAreGreenThenYellowThenRedAboveZeroDb) {
    const LICE_IBitmap& strip = image("led_meter_12-60db.png");
    const int x = (METER_FRAMES - 1) * METER_FRAME_WIDTH + METER_FRAME_WIDTH / 2;
    for (int k = 1; k <= METER_SEGMENTS; ++k) {
        const LICE_pixel p = LICE_GetPixel(&strip, x, segmentTopRow(k) + 1);
        const int topDb = METER_BOTTOM_DB + k;
        if (topDb > 0)
            EXPECT_GT(LICE_GETR(p), 2 * LICE_GETG(p)) << "segment " << k << " should be red";
        else if (topDb > YELLOW_FROM_DB)
            EXPECT_TRUE(LICE_GETR(p) > 180 && LICE_GETG(p) > 150 && LICE_GETB(p) < 100)
                << "segment " << k << " should be yellow";
        else
            EXPECT_GT(LICE_GETG(p), LICE_GETR(p) + 80) << "segment " << k << " should be green";
    }
}

TEST_F(CommittedImages, ClipLampLightsRedAndCoversNoLitRowOfTheMeter) {
    const LICE_IBitmap& lamp = image("led_clip.png");
    const int cx = CLIP_WIDTH / 2;
    const int cy = CLIP_HEIGHT / 2;
    const LICE_pixel off = LICE_GetPixel(&lamp, cx, cy);
    const LICE_pixel lit = LICE_GetPixel(&lamp, cx, CLIP_HEIGHT + cy);
    EXPECT_GT(LICE_GETR(lit), 200);
    EXPECT_GT(LICE_GETR(lit), 2 * LICE_GETG(lit));
    EXPECT_LT(luminance(off), luminance(lit) / 3);
    // The lamp sits 3 pixels above the meter and is drawn over it.
    EXPECT_LE(CLIP_Y + lamp.getHeight() / CLIP_FRAMES, METER_Y + segmentTopRow(METER_SEGMENTS));
}

TEST_F(CommittedImages, SelectorFramesShowDifferentEntries) {
    for (const Expected& e : EXPECTED) {
        if (e.horizontal || e.frames < 2 || e.frameWidth != SELECTOR_WIDTH) continue;
        const LICE_IBitmap& bm = image(e.file);
        for (int a = 0; a < e.frames; ++a)
            for (int b = a + 1; b < e.frames; ++b) {
                int differing = 0;
                for (int y = 0; y < e.frameHeight; ++y)
                    for (int x = 0; x < e.frameWidth; ++x)
                        differing += LICE_GetPixel(&bm, x, a * e.frameHeight + y) !=
                                     LICE_GetPixel(&bm, x, b * e.frameHeight + y);
                EXPECT_GT(differing, 20) << e.file << ": frames " << a + 1 << " and " << b + 1;
            }
    }
}

// White read-out text needs a dark ground wherever the editor draws it.
void expectDark(const LICE_IBitmap& bm, int yOffset, int l, int t, int r, int b, const char* what) {
    int brightest = 0;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x)
            brightest = std::max(brightest, luminance(LICE_GetPixel(&bm, x, yOffset + y)));
    EXPECT_LT(brightest, 40) << what << " at " << l << "," << t;
}

TEST_F(CommittedImages, BackgroundIsDarkUnderEveryReadOutOfItsType) {
    const LICE_IBitmap& bg = image("background.png");
    for (int i = 0; i < 6; ++i)
        expectDark(bg, 0, 303, 76 + 40 * i + 2, 357, 76 + 40 * i + 16, "RMS read-out");
    for (int i = 0; i < 7; ++i)
        expectDark(bg, EDITOR_HEIGHT, 303, 72 + 32 * i + 2, 357, 72 + 32 * i + 16, "EBU read-out");
    for (int frame = 0; frame < 2; ++frame)
        for (int k = 0; k < METER_COUNT; ++k) {
            const int x = METER_X0 + k * METER_PITCH;
            expectDark(bg, frame * EDITOR_HEIGHT, x + 1, PEAK_READOUT_Y + 1, x + 27, PEAK_READOUT_Y + 9,
                       "peak read-out");
        }
}

TEST_F(CommittedImages, BackgroundFramesDifferByType) {
    const LICE_IBitmap& bg = image("background.png");
    int differing = 0;
    for (int y = 0; y < EDITOR_HEIGHT; ++y)
        for (int x = 0; x < EDITOR_WIDTH; ++x)
            differing += LICE_GetPixel(&bg, x, y) != LICE_GetPixel(&bg, x, EDITOR_HEIGHT + y);
    EXPECT_GT(differing, 1000);
}

TEST_F(CommittedImages, OpaqueImagesHaveNoSeeThroughPixels) {
    for (const char* file : {"background.png", "led_clip.png", "led_meter_12-60db.png"}) {
        const LICE_IBitmap& bm = image(file);
        int transparent = 0;
        for (int y = 0; y < bm.getHeight(); ++y)
            for (int x = 0; x < bm.getWidth(); ++x) transparent += LICE_GETA(LICE_GetPixel(&bm, x, y)) != 255;
        EXPECT_EQ(transparent, 0) << file;
    }
}

TEST_F(CommittedImages, MatchWhatTheGeneratorDrawsNow) {
    // A generator change without `cmake --build <dir> --target images` leaves stale files. Text
    // may rasterise a shade differently with another FreeType, so small differences are allowed.
    FontBook fonts;
    for (const ImageFile& drawn : drawImageSet(&fonts)) {
        const LICE_IBitmap& committed = image(drawn.name.c_str());
        ASSERT_EQ(drawn.image->getWidth(), committed.getWidth()) << drawn.name;
        ASSERT_EQ(drawn.image->getHeight(), committed.getHeight()) << drawn.name;
        int differing = 0;
        for (int y = 0; y < committed.getHeight(); ++y)
            for (int x = 0; x < committed.getWidth(); ++x) {
                LICE_pixel a = LICE_GetPixel(drawn.image.get(), x, y);
                if (!drawn.withAlpha) a = (a & ~0xFFu) | 0xFFu;
                const LICE_pixel b = LICE_GetPixel(&committed, x, y);
                const int diff =
                    std::max({std::abs(LICE_GETR(a) - LICE_GETR(b)), std::abs(LICE_GETG(a) - LICE_GETG(b)),
                              std::abs(LICE_GETB(a) - LICE_GETB(b)), std::abs(LICE_GETA(a) - LICE_GETA(b))});
                differing += diff > 8;
            }
        EXPECT_LE(differing, committed.getWidth() * committed.getHeight() / 200) << drawn.name;
    }
}

}  // namespace

namespace {

LICE_IBitmap* loadCommitted(const std::string& name) {
    std::string error;
    return LICE_LoadPNG((std::string(QUENLIX_IMAGE_DIR) + "/" + name).c_str(), nullptr, &error);
}

}  // namespace

// The images of each scale: the same frames at s times the size, each starting on a whole pixel, what the
// generator draws now, and drawn natively rather than enlarged from 1x (text and edges differ from a pixel
// enlargement).
TEST(ScaledImages, FramesAreTheScaledFramesAndMatchTheGenerator) {
    FontBook fonts;
    for (const double scale : {1.5, 2.0}) {
        for (const Expected& e : EXPECTED) {
            const std::string name = scaledImageName(e.file, scale);
            SCOPED_TRACE(name);
            std::unique_ptr<LICE_IBitmap> bm(loadCommitted(name));
            ASSERT_NE(bm, nullptr);
            const int fw = scaledSize(e.frameWidth, scale), fh = scaledSize(e.frameHeight, scale);
            EXPECT_EQ(bm->getWidth(), e.horizontal ? fw * e.frames : fw);
            EXPECT_EQ(bm->getHeight(), e.horizontal ? fh : fh * e.frames);
        }
        for (const ImageFile& drawn : drawImageSet(&fonts, scale)) {
            std::unique_ptr<LICE_IBitmap> committed(loadCommitted(drawn.name));
            ASSERT_NE(committed, nullptr) << drawn.name;
            ASSERT_EQ(drawn.image->getWidth(), committed->getWidth()) << drawn.name;
            ASSERT_EQ(drawn.image->getHeight(), committed->getHeight()) << drawn.name;
            int differing = 0;
            for (int y = 0; y < committed->getHeight(); ++y)
                for (int x = 0; x < committed->getWidth(); ++x) {
                    const LICE_pixel a = LICE_GetPixel(drawn.image.get(), x, y);
                    const LICE_pixel b = LICE_GetPixel(committed.get(), x, y);
                    differing += std::abs(LICE_GETR(a) - LICE_GETR(b)) > 8 ||
                                 std::abs(LICE_GETG(a) - LICE_GETG(b)) > 8;
                }
            EXPECT_LE(differing, committed->getWidth() * committed->getHeight() / 200) << drawn.name;
        }
    }
}

TEST(ScaledImages, TwiceTheSizeIsDrawnNativelyNotEnlarged) {
    std::unique_ptr<LICE_IBitmap> one(loadCommitted("background.png")),
        two(loadCommitted("background@2x.png"));
    ASSERT_NE(one, nullptr);
    ASSERT_NE(two, nullptr);
    // A pixel enlargement repeats each 1x pixel in a 2 x 2 block; the native drawing's text and rounded
    // edges do not.
    int notBlock = 0;
    for (int y = 0; y < two->getHeight(); ++y)
        for (int x = 0; x < two->getWidth(); ++x)
            notBlock +=
                (LICE_GetPixel(two.get(), x, y) | 0xFFu) != (LICE_GetPixel(one.get(), x / 2, y / 2) | 0xFFu);
    EXPECT_GT(notBlock, two->getWidth() * two->getHeight() / 50);
    // Yet it is the same picture: at 1x resolution the average of each block is close to the 1x pixel.
    int far = 0;
    for (int y = 0; y < one->getHeight(); ++y)
        for (int x = 0; x < one->getWidth(); ++x) {
            int sum = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    sum += luminance(LICE_GetPixel(two.get(), 2 * x + dx, 2 * y + dy));
            far += std::abs(sum / 4 - luminance(LICE_GetPixel(one.get(), x, y))) > 60;
        }
    EXPECT_LT(far, one->getWidth() * one->getHeight() / 50);
}
