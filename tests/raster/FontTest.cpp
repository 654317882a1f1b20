#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "raster/Blit.h"
#include "raster/Font.h"

namespace {
const LICE_pixel kWhite = LICE_RGBA(255, 255, 255, 255);
const LICE_pixel kBlack = LICE_RGBA(0, 0, 0, 255);

struct Ink {
    int count = 0;
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    int darkest = 255;  // lowest red value among inked pixels
};

Ink FindInk(const LICE_IBitmap& bm, LICE_pixel background) {
    Ink ink;
    for (int y = 0; y < bm.getHeight(); ++y)
        for (int x = 0; x < bm.getWidth(); ++x) {
            const LICE_pixel p = LICE_GetPixel(&bm, x, y);
            if (p == background) continue;
            ++ink.count;
            ink.minX = std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.minY = std::min(ink.minY, y);
            ink.maxY = std::max(ink.maxY, y);
            ink.darkest = std::min(ink.darkest, LICE_GETR(p));
        }
    return ink;
}

LICE_FontDesc Desc(const char* face, int height, int quality = LICE_FONT_QUALITY_ANTIALIASED) {
    LICE_FontDesc d;
    std::snprintf(d.face, sizeof d.face, "%s", face);
    d.height = height;
    d.quality = quality;
    return d;
}
}  // namespace

class TextDrawing : public ::testing::Test {
  protected:
    LICE_SysBitmap bm{240, 120};
    LICE_CachedFont font;

    void SetUp() override {
        LICE_Clear(&bm, kWhite);
        ASSERT_TRUE(font.SetFromDesc(Desc("Monaco", 12)));
        font.SetTextColor(kBlack);
    }

    Ink DrawAndFind(const char* text, LICE_Rect r, unsigned int flags) {
        LICE_Clear(&bm, kWhite);
        font.DrawText(&bm, text, -1, &r, flags);
        return FindInk(bm, kWhite);
    }

    int MeasureWidth(const char* text) {
        LICE_Rect r{10, 10, 10, 10};
        font.DrawText(nullptr, text, -1, &r, LICE_DT_CALCRECT);
        return r.right - r.left;
    }
};

TEST_F(TextDrawing, MonacoFallsBackToAnInstalledMonospaceFace) {
    char family[64];
    font.GetFamilyName(family, sizeof family);
    EXPECT_STRNE(family, "");
    EXPECT_TRUE(font.IsFixedPitch()) << family;
    EXPECT_EQ(MeasureWidth("iiii"), MeasureWidth("WWWW"));
}

TEST_F(TextDrawing, ProportionalFamilyFallsBackToAProportionalFace) {
    LICE_CachedFont sans;
    ASSERT_TRUE(sans.SetFromDesc(Desc("Helvetica", 12)));
    EXPECT_FALSE(sans.IsFixedPitch());
}

TEST_F(TextDrawing, LineHeightFollowsTheRequestedCellHeight) {
    for (int h : {2, 8, 10, 13, 20, 40}) {
        LICE_CachedFont f;
        ASSERT_TRUE(f.SetFromDesc(Desc("Monaco", h)));
        EXPECT_NEAR(f.GetLineHeight(), h, 1) << "height " << h;
    }
    LICE_CachedFont tiny;
    ASSERT_TRUE(tiny.SetFromDesc(Desc("Monaco", -5)));  // clamped to 2
    EXPECT_NEAR(tiny.GetLineHeight(), 2, 1);
}

TEST_F(TextDrawing, InkLiesInsideItsRectangleAndNowhereElse) {
    const LICE_Rect r{20, 30, 200, 30 + font.GetLineHeight()};
    const Ink ink = DrawAndFind("Peak -12.3 dB", r, LICE_DT_CENTER | LICE_DT_NOCLIP);
    ASSERT_GT(ink.count, 20);
    EXPECT_GE(ink.minX, r.left);
    EXPECT_LE(ink.maxX, r.right);
    EXPECT_GE(ink.minY, r.top);
    EXPECT_LE(ink.maxY, r.bottom);
}

TEST_F(TextDrawing, HorizontalAlignmentPlacesTheText) {
    const LICE_Rect r{20, 30, 220, 50};
    const Ink left = DrawAndFind("-23.0", r, LICE_DT_LEFT);
    EXPECT_NEAR(left.minX, r.left, 2);
    const Ink right = DrawAndFind("-23.0", r, LICE_DT_RIGHT);
    EXPECT_NEAR(right.maxX, r.right - 1, 2);
    const Ink centre = DrawAndFind("-23.0", r, LICE_DT_CENTER);
    EXPECT_NEAR((centre.minX + centre.maxX) / 2.0, (r.left + r.right) / 2.0, 2.0);
    EXPECT_EQ(left.maxX - left.minX, right.maxX - right.minX);
}

TEST_F(TextDrawing, TextIsTopAlignedUnlessAskedOtherwise) {
    const LICE_Rect r{20, 10, 220, 110};
    const Ink top = DrawAndFind("Hg", r, LICE_DT_LEFT);
    EXPECT_LT(top.maxY, r.top + font.GetLineHeight() + 1);
    const Ink bottom = DrawAndFind("Hg", r, LICE_DT_BOTTOM);
    EXPECT_GT(bottom.minY, r.bottom - font.GetLineHeight() - 1);
    const Ink middle = DrawAndFind("Hg", r, LICE_DT_VCENTER);
    EXPECT_NEAR((middle.minY + middle.maxY) / 2.0, (r.top + r.bottom) / 2.0, font.GetLineHeight() / 2.0);
}

TEST_F(TextDrawing, MeasuringAgreesWithDrawing) {
    const int w = MeasureWidth("LUFS -23.0");
    EXPECT_EQ(w, MeasureWidth("LUFS ") + MeasureWidth("-23.0"));
    LICE_Rect r{10, 10, 10, 10};
    EXPECT_EQ(font.DrawText(nullptr, "a\nb\r\nc", -1, &r, LICE_DT_CALCRECT), 3 * font.GetLineHeight());
    EXPECT_EQ(r.bottom - r.top, 3 * font.GetLineHeight());
    EXPECT_EQ(r.left, 10);

    const Ink ink = DrawAndFind("LUFS -23.0", LICE_Rect{10, 10, 10, 30}, LICE_DT_LEFT | LICE_DT_NOCLIP);
    EXPECT_LE(ink.maxX, 10 + w);
    EXPECT_GE(ink.maxX, 10 + w - 3);
}

TEST_F(TextDrawing, InkIsClippedToTheRectangleUnlessNoClip) {
    const LICE_Rect narrow{20, 20, 40, 40};
    const Ink clipped = DrawAndFind("0123456789", narrow, LICE_DT_LEFT);
    EXPECT_GT(clipped.count, 0);
    EXPECT_LT(clipped.maxX, narrow.right);
    const Ink unclipped = DrawAndFind("0123456789", narrow, LICE_DT_LEFT | LICE_DT_NOCLIP);
    EXPECT_GT(unclipped.maxX, narrow.right + 20);
    // Text hanging off the raster is cut there, not written past it.
    const Ink offEdge = DrawAndFind("0123456789", LICE_Rect{200, 110, 300, 130}, LICE_DT_LEFT);
    EXPECT_LE(offEdge.maxX, bm.getWidth() - 1);
}

TEST_F(TextDrawing, NonAntialiasedInkIsAllOrNothing) {
    LICE_CachedFont mono;
    ASSERT_TRUE(mono.SetFromDesc(Desc("Monaco", 12, LICE_FONT_QUALITY_NONANTIALIASED)));
    LICE_Rect r{10, 10, 200, 40};
    mono.DrawText(&bm, "Quenlix 0.5 LU", -1, &r, 0, kBlack);
    const Ink ink = FindInk(bm, kWhite);
    ASSERT_GT(ink.count, 20);
    for (int y = 0; y < bm.getHeight(); ++y)
        for (int x = 0; x < bm.getWidth(); ++x) {
            const LICE_pixel p = LICE_GetPixel(&bm, x, y);
            ASSERT_TRUE(p == kWhite || p == kBlack) << x << "," << y;
        }

    LICE_Clear(&bm, kWhite);
    font.DrawText(&bm, "Quenlix 0.5 LU", -1, &r, 0);
    int partial = 0;
    for (int y = 0; y < bm.getHeight(); ++y)
        for (int x = 0; x < bm.getWidth(); ++x) {
            const int red = LICE_GETR(LICE_GetPixel(&bm, x, y));
            partial += red > 0 && red < 255;
        }
    EXPECT_GT(partial, 0) << "antialiased text shows no partial coverage";
}

TEST_F(TextDrawing, ColourAlphaIsUsedOnlyWhenAsked) {
    LICE_CachedFont mono;
    ASSERT_TRUE(mono.SetFromDesc(Desc("Monaco", 12, LICE_FONT_QUALITY_NONANTIALIASED)));
    LICE_Rect r{10, 10, 200, 40};
    const LICE_pixel halfBlack = LICE_RGBA(0, 0, 0, 128);
    mono.DrawText(&bm, "HHH", -1, &r, LICE_DT_USEFGALPHA, halfBlack);
    EXPECT_EQ(FindInk(bm, kWhite).darkest, 127);

    LICE_Clear(&bm, kWhite);
    mono.DrawText(&bm, "HHH", -1, &r, 0, halfBlack);
    EXPECT_EQ(FindInk(bm, kWhite).darkest, 0);
}

TEST_F(TextDrawing, TextColourComesFromTheFontOrTheCall) {
    font.SetTextColor(LICE_RGBA(255, 0, 0, 255));
    LICE_Clear(&bm, kBlack);
    LICE_Rect r{10, 10, 200, 40};
    font.DrawText(&bm, "HHH", -1, &r, 0);
    const Ink red = FindInk(bm, kBlack);
    ASSERT_GT(red.count, 0);
    for (int y = red.minY; y <= red.maxY; ++y)
        for (int x = red.minX; x <= red.maxX; ++x) {
            const LICE_pixel p = LICE_GetPixel(&bm, x, y);
            ASSERT_EQ(LICE_GETG(p), 0);
            ASSERT_EQ(LICE_GETB(p), 0);
        }
    LICE_Clear(&bm, kBlack);
    font.DrawText(&bm, "HHH", -1, &r, 0, LICE_RGBA(0, 0, 255, 255));
    EXPECT_EQ(LICE_GETR(LICE_GetPixel(&bm, red.minX + 1, (red.minY + red.maxY) / 2)), 0);
    EXPECT_EQ(font.GetTextColor(), LICE_RGBA(255, 0, 0, 255));  // the call's colour did not stick
}

TEST_F(TextDrawing, BoldInksMoreAndItalicLeansRight) {
    const LICE_Rect r{10, 10, 200, 60};
    LICE_FontDesc d = Desc("Monaco", 24);
    LICE_CachedFont regular, bold, italic;
    ASSERT_TRUE(regular.SetFromDesc(d));
    d.weight = 700;
    ASSERT_TRUE(bold.SetFromDesc(d));
    d.weight = 400;
    d.italic = true;
    ASSERT_TRUE(italic.SetFromDesc(d));

    auto draw = [&](LICE_CachedFont& f, const char* text) {
        LICE_Clear(&bm, kWhite);
        LICE_Rect copy = r;
        f.DrawText(&bm, text, -1, &copy, 0, kBlack);
    };
    auto inkSum = [&]() {
        long sum = 0;
        for (int y = 0; y < bm.getHeight(); ++y)
            for (int x = 0; x < bm.getWidth(); ++x) sum += 255 - LICE_GETR(LICE_GetPixel(&bm, x, y));
        return sum;
    };
    draw(regular, "Quenlix");
    const long regularInk = inkSum();
    draw(bold, "Quenlix");
    EXPECT_GT(inkSum(), regularInk * 5 / 4);

    // The mean column of the upper half of an "H" lies right of the lower half's when slanted.
    draw(italic, "H");
    const Ink box = FindInk(bm, kWhite);
    double upper = 0, upperW = 0, lower = 0, lowerW = 0;
    const int mid = (box.minY + box.maxY) / 2;
    for (int y = box.minY; y <= box.maxY; ++y)
        for (int x = box.minX; x <= box.maxX; ++x) {
            const double w = 255 - LICE_GETR(LICE_GetPixel(&bm, x, y));
            (y < mid ? upper : lower) += w * x;
            (y < mid ? upperW : lowerW) += w;
        }
    ASSERT_GT(upperW, 0);
    ASSERT_GT(lowerW, 0);
    EXPECT_GT(upper / upperW, lower / lowerW + 0.5);
}

TEST_F(TextDrawing, NinetyDegreesRunsTheTextUpwards) {
    LICE_FontDesc d = Desc("Monaco", 14);
    d.escapementTenths = d.orientationTenths = 900;
    LICE_CachedFont up;
    ASSERT_TRUE(up.SetFromDesc(d));
    LICE_Rect r{100, 100, 100, 100};
    up.DrawText(&bm, "HHHHHH", -1, &r, LICE_DT_NOCLIP, kBlack);
    const Ink ink = FindInk(bm, kWhite);
    ASSERT_GT(ink.count, 0);
    EXPECT_GT(ink.maxY - ink.minY, 2 * (ink.maxX - ink.minX));
    EXPECT_LE(ink.maxY, r.top + 2);  // grows upwards from the anchor
}

TEST_F(TextDrawing, DegenerateTextIsHarmless) {
    LICE_Rect r{10, 10, 100, 30};
    EXPECT_EQ(font.DrawText(&bm, nullptr, -1, &r, 0), 0);
    EXPECT_EQ(font.DrawText(&bm, "", -1, &r, 0), 0);
    EXPECT_EQ(font.DrawText(&bm, "abc", 0, &r, 0), 0);
    EXPECT_EQ(font.DrawText(&bm, "abc", 2, nullptr, 0), 0);
    EXPECT_EQ(FindInk(bm, kWhite).count, 0);
    LICE_Rect m{10, 10, 100, 30};
    font.DrawText(nullptr, "", -1, &m, LICE_DT_CALCRECT);
    EXPECT_EQ(m.right, 10);
    EXPECT_EQ(m.bottom, 10);

    // Only the first strLen bytes count; malformed UTF-8 draws replacement glyphs.
    LICE_Rect q{10, 10, 10, 10};
    font.DrawText(nullptr, "abcdef", 2, &q, LICE_DT_CALCRECT);
    EXPECT_EQ(q.right - q.left, MeasureWidth("ab"));
    const char unterminated[3] = {'a', 'b', 'c'};  // counted text: nothing past it may be read
    LICE_Rect u{10, 10, 10, 10};
    font.DrawText(nullptr, unterminated, 3, &u, LICE_DT_CALCRECT);
    EXPECT_EQ(u.right - u.left, MeasureWidth("abc"));
    const char broken[] = {'a', char(0xC3), char(0xFF), char(0xE2), char(0x82),
                           'b', char(0xF4), char(0x90), 0};
    EXPECT_GT(font.DrawText(&bm, broken, -1, &r, 0), 0);
    EXPECT_GT(FindInk(bm, kWhite).count, 0);

    LICE_CachedFont noFace;  // never created
    EXPECT_EQ(noFace.DrawText(&bm, "abc", -1, &r, 0), 0);
    EXPECT_EQ(noFace.GetLineHeight(), 0);
}
