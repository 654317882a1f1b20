// What controls put into the off-screen raster: frames of image strips, clipped blits, fills with
// blends, text, and the process-wide image cache.
#include <gtest/gtest.h>

#include <climits>

#include "EditorTestUtil.h"
#include "TestPlug.h"
#include "editor/IPlugControls.h"
#include "editor/ResourceCaches.h"
#include "raster/Font.h"

namespace {

class DrawingTest : public ::testing::Test {
  protected:
    void SetUp() override { g = new IGraphicsHeadless(&plug, 800, 300); }
    void TearDown() override {
        if (plug.GetGUI() != g) delete g;
    }
    void Open() {
        plug.AttachGraphics(g);
        g->OpenWindow(nullptr);
    }
    LICE_pixel At(int x, int y) const { return LICE_GetPixel(g->GetDrawBitmap(), x, y); }

    TestPlug plug;
    IGraphicsHeadless* g = nullptr;
};

// Counts the images it decodes; every image is a small opaque square.
class CountingEditor : public IGraphicsHeadless {
  public:
    using IGraphicsHeadless::IGraphicsHeadless;
    LICE_IBitmap* OSLoadBitmap(int, const char* name) override {
        ++mLoads;
        if (std::string(name) == "missing.png" && mFailMissing) return nullptr;
        auto* bm = new LICE_MemBitmap(6, 4);
        LICE_Clear(bm, LICE_RGBA(1, 2, 3, 255));
        return bm;
    }
    int mLoads = 0;
    bool mFailMissing = true;
};

}  // namespace

TEST_F(DrawingTest, MeterStripShowsTheFrameOfItsValue) {
    auto strip = MakeStrip(73, 10, 20, true);
    IBitmap handle = HandleFor(strip.get(), 73, true);
    auto* meter = new IBitmapControl(&plug, 100, 50, -1, &handle);
    const int idx = g->AttachControl(meter);
    Open();
    EXPECT_EQ(*meter->GetRECT(), IRECT(100, 50, 110, 70));

    g->SetControlFromPlug(idx, 0.2);  // default
    const struct {
        double value;
        int frame;
    } cases[] = {{0.5, 37}, {0.0, 1}, {1.0, 73}, {0.00693, 1}, {0.00695, 2}, {1.5, 73}};
    for (const auto& c : cases) {
        g->SetControlFromPlug(idx, c.value);
        g->Tick();
        EXPECT_EQ(At(105, 60), PixelForFrame(c.frame - 1)) << c.value;
    }
}

TEST_F(DrawingTest, FrameSelectionOfStripsAndPlainImages) {
    auto horizontal = MakeStrip(73, 10, 5, true);
    IBitmap h = HandleFor(horizontal.get(), 73, true);
    auto vertical = MakeStrip(3, 8, 10, false);
    IBitmap v = HandleFor(vertical.get(), 3, false);
    g->AttachControl(new ProbeControl(&plug, IRECT(0, 0, 1, 1)));
    Open();
    IRECT all(0, 0, 800, 300);
    g->Draw(&all);  // sets the draw area to the whole editor

    IRECT dest(0, 0, 10, 5);
    g->DrawBitmap(&h, &dest, 37, nullptr);  // source x 360
    EXPECT_EQ(At(0, 0), LICE_GetPixel(horizontal.get(), 360, 0));
    EXPECT_EQ(At(0, 0), PixelForFrame(36));

    IRECT vdest(20, 0, 28, 10);
    g->DrawBitmap(&v, &vdest, 3, nullptr);
    EXPECT_EQ(At(20, 0), PixelForFrame(2));
    g->DrawBitmap(&v, &vdest, 0, nullptr);  // frames below 2 start at the top-left
    EXPECT_EQ(At(20, 0), PixelForFrame(0));
    // A frame far past the strip draws nothing (and computes no out-of-range offset).
    EXPECT_TRUE(g->DrawBitmap(&h, &dest, INT_MAX, nullptr));
    EXPECT_EQ(At(0, 0), PixelForFrame(36));
}

TEST_F(DrawingTest, ClippedBlitShowsThePartThatLiesThere) {
    // Every pixel of the image is different: colour = (x, y).
    LICE_MemBitmap image(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            LICE_PutPixel(&image, x, y, LICE_RGBA(x, y, 7, 255), 1.0f, LICE_BLIT_MODE_CLOBBER);
    IBitmap handle(&image, 40, 30, 1, false);
    auto* c = new IBitmapControl(&plug, 100, 100, -1, &handle);
    g->AttachControl(c);
    Open();
    g->Tick();
    LICE_Clear(g->GetDrawBitmap(), 0);

    IRECT area(120, 110, 200, 200);  // cuts the control's left 20 and top 10 pixels
    g->Draw(&area);
    EXPECT_EQ(At(120, 110), LICE_RGBA(20, 10, 7, 255));
    EXPECT_EQ(At(139, 129), LICE_RGBA(39, 29, 7, 255));
    EXPECT_EQ(At(119, 115), 0u);
    EXPECT_EQ(At(125, 109), 0u);

    IRECT far(300, 300, 310, 310);
    IRECT dest(100, 100, 140, 130);
    LICE_Clear(g->GetDrawBitmap(), 0);
    g->Draw(&far);
    g->DrawBitmap(&handle, &dest, 0, 0, nullptr);  // clip empty: nothing drawn
    EXPECT_EQ(At(100, 100), 0u);
}

TEST_F(DrawingTest, BlendMethodsMapOntoCompositing) {
    g->AttachControl(new ProbeControl(&plug, IRECT(0, 0, 1, 1)));
    Open();
    IRECT all(0, 0, 800, 300);
    g->Draw(&all);
    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(100, 100, 100, 255));
    IRECT r(0, 0, 10, 10);
    const IColor half(128, 200, 0, 40);

    IChannelBlend add(IChannelBlend::kBlendAdd, 1.0f);
    g->FillIRect(&half, &r, &add);
    EXPECT_EQ(LICE_GETR(At(5, 5)), 200);  // 100 + 200 * 128/255, rounded, capped
    EXPECT_EQ(LICE_GETG(At(5, 5)), 100);
    EXPECT_EQ(LICE_GETB(At(5, 5)), 120);

    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(100, 100, 100, 255));
    IChannelBlend clobber(IChannelBlend::kBlendClobber, 0.5f);
    g->FillIRect(&half, &r, &clobber);  // alpha ignored, half weight
    EXPECT_EQ(LICE_GETR(At(5, 5)), 150);
    EXPECT_EQ(LICE_GETB(At(5, 5)), 70);

    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(100, 100, 100, 255));
    g->FillIRect(&COLOR_WHITE, &r, nullptr);  // no blend: opaque copy at full weight
    EXPECT_EQ(At(5, 5), LICE_RGBA(255, 255, 255, 255));
}

TEST_F(DrawingTest, GreyedPanelDrawsAtAQuarter) {
    g->AttachPanelBackground(&COLOR_WHITE);
    Open();
    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(0, 0, 0, 255));
    g->GetControl(0)->GrayOut(true);
    g->Tick();
    EXPECT_EQ(LICE_GETR(At(10, 10)), 64);  // 255 * 0.25, rounded
}

TEST_F(DrawingTest, TextInksInsideItsRectangleAndMeasures) {
    IText style(18, &COLOR_WHITE, "Monaco", IText::kStyleBold, IText::kAlignFar);
    auto* readout = new ITextControl(&plug, IRECT(300, 100, 360, 140), &style, "-23.4");
    g->AttachControl(readout);
    Open();
    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(0, 0, 0, 255));
    g->Tick();
    int inside = 0, outside = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 800; ++x) {
            const bool ink = LICE_GETR(At(x, y)) > 0;
            const bool near = x >= 290 && x < 370 && y >= 95 && y < 150;
            if (ink && x >= 300 && x < 360 && y >= 100 && y < 140) ++inside;
            if (ink && !near) ++outside;
        }
    }
    EXPECT_GT(inside, 20);
    EXPECT_EQ(outside, 0);

    // Measuring rewrites the rectangle around the text per alignment.
    IText centred(12, &COLOR_WHITE);
    char text[] = "12345";
    IRECT far(100, 10, 201, 40);
    IText farStyle(12, &COLOR_WHITE, nullptr, IText::kStyleNormal, IText::kAlignFar);
    ASSERT_TRUE(g->MeasureIText(&farStyle, text, &far));
    const int width = far.R - far.L;
    EXPECT_GT(width, 0);
    EXPECT_EQ(far.R, 201);
    EXPECT_EQ(far.B, 10 + farStyle.mCached->GetLineHeight());
    IRECT mid(100, 10, 201, 40);
    ASSERT_TRUE(g->MeasureIText(&centred, text, &mid));
    EXPECT_EQ(mid.L, 150 - width / 2);
    EXPECT_EQ(mid.R, mid.L + width);
    // Empty text draws nothing and succeeds.
    char empty[] = "";
    IRECT r(0, 0, 10, 10);
    EXPECT_TRUE(g->DrawIText(&centred, empty, &r));
}

TEST_F(DrawingTest, StylesDifferingOnlyInQualityShareAFont) {
    IText a(11, &COLOR_WHITE, "Monaco", IText::kStyleItalic);
    IText b = a;
    b.mQuality = IText::kQualityNonAntiAliased;
    b.mColor = COLOR_RED;
    Open();
    LICE_IFont* fa = g->CacheFont(&a);
    ASSERT_NE(fa, nullptr);
    EXPECT_EQ(g->CacheFont(&b), fa);
    IText c = a;
    c.mSize = 12;
    EXPECT_NE(g->CacheFont(&c), fa);
}

TEST(ImageCacheTest, TwoEditorsDecodeAnImageOnce) {
    TestPlug plug1, plug2;
    auto* e1 = new CountingEditor(&plug1, 100, 100);
    auto* e2 = new CountingEditor(&plug2, 100, 100);
    plug1.AttachGraphics(e1);
    plug2.AttachGraphics(e2);
    const IBitmap b1 = e1->LoadIBitmap(90001, "resources/img/value.png", 2, false);
    const IBitmap b2 = e2->LoadIBitmap(90001, "resources/img/other-name.png", 1, true);
    EXPECT_EQ(e1->mLoads + e2->mLoads, 1);
    EXPECT_EQ(b1.mData, b2.mData);
    EXPECT_EQ(b1.W, 6);
    EXPECT_EQ(b1.H, 4);
    EXPECT_EQ(b1.N, 2);
    EXPECT_TRUE(b2.mFramesAreHorizontal);
}

TEST(ImageCacheTest, MissingImageIsRetriedOnTheNextLoad) {
    TestPlug plug;
    auto* e = new CountingEditor(&plug, 100, 100);
    plug.AttachGraphics(e);
    const IBitmap missing = e->LoadIBitmap(90002, "missing.png");
    EXPECT_EQ(missing.mData, nullptr);
    EXPECT_EQ(missing.W, 0);
    const int entries = BitmapStorage::Instance().Count();
    e->mFailMissing = false;
    const IBitmap found = e->LoadIBitmap(90002, "missing.png");
    EXPECT_NE(found.mData, nullptr);
    EXPECT_EQ(e->mLoads, 2);
    EXPECT_EQ(BitmapStorage::Instance().Count(), entries);
}

namespace {

// The ink a text leaves in r when drawn by a read-out with this style.
std::vector<LICE_pixel> InkOf(const char* text, const IText& style, IRECT r) {
    TestPlug plug;
    auto* g = new IGraphicsHeadless(&plug, 200, 60);
    g->AttachControl(new ITextControl(&plug, r, &style, text));
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);
    LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(0, 0, 0, 255));
    g->Tick();
    std::vector<LICE_pixel> pixels;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) pixels.push_back(LICE_GetPixel(g->GetDrawBitmap(), x, y));
    return pixels;
}

}  // namespace

TEST_F(DrawingTest, RatioButtonShowsInfAtItsMaximumAndARatioElsewhere) {
    auto image = MakeStrip(1, 80, 20, false);
    LICE_Clear(image.get(), LICE_RGBA(0, 0, 0, 255));
    IBitmap handle = HandleFor(image.get(), 1, false);
    const IText style(10, &COLOR_WHITE);
    auto* button = new IParameterButton(&plug, 10, 10, TestPlug::kCount, &handle, &style, true, true);
    g->AttachControl(button);
    Open();
    const IRECT label(12, 11, 88, 29);  // compact text rectangle of an 80 x 20 button at (10, 10)

    auto shown = [&]() {
        LICE_Clear(g->GetDrawBitmap(), LICE_RGBA(0, 0, 0, 255));
        IRECT all(0, 0, 200, 60);
        g->Draw(&all);
        std::vector<LICE_pixel> pixels;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 200; ++x) pixels.push_back(At(x, y));
        return pixels;
    };
    plug.GetParam(TestPlug::kCount)->Set(100.0);
    EXPECT_EQ(shown(), InkOf("inf", style, label));
    plug.GetParam(TestPlug::kCount)->Set(4.0);
    EXPECT_EQ(shown(), InkOf("4 : 1", style, label));
}

TEST_F(DrawingTest, TextBelowFullAlphaIsDrawnTranslucent) {
    const IColor halfWhite(128, 255, 255, 255);
    const IText opaque(18, &COLOR_WHITE), translucent(18, &halfWhite);
    const IRECT r(0, 0, 200, 60);
    int brightestOpaque = 0, brightestTranslucent = 0;
    for (LICE_pixel p : InkOf("MMM", opaque, r)) brightestOpaque = std::max(brightestOpaque, LICE_GETR(p));
    for (LICE_pixel p : InkOf("MMM", translucent, r))
        brightestTranslucent = std::max(brightestTranslucent, LICE_GETR(p));
    EXPECT_EQ(brightestOpaque, 255);
    EXPECT_NEAR(brightestTranslucent, 128, 2);
}
