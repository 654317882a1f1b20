#include <gtest/gtest.h>

#include "editor/IGraphicsStructs.h"

TEST(IRectTest, UnionIsTheBoundingBoxAndIgnoresEmptyRectangles) {
    const IRECT a(10, 10, 20, 20), b(30, 5, 40, 15), empty;
    EXPECT_EQ(a.Union(&b), IRECT(10, 5, 40, 20));
    EXPECT_EQ(b.Union(&a), IRECT(10, 5, 40, 20));
    EXPECT_EQ(empty.Union(&a), a);
    EXPECT_EQ(a.Union(&empty), a);
    // Zero area is not empty: it still widens the union.
    const IRECT line(50, 50, 50, 60);
    EXPECT_EQ(a.Union(&line), IRECT(10, 10, 50, 60));
}

TEST(IRectTest, IntersectionTestIsAsymmetricAtTouchingEdges) {
    const IRECT left(0, 0, 10, 10), right(10, 0, 20, 10), below(0, 10, 10, 20);
    EXPECT_TRUE(left.Intersects(&right));
    EXPECT_FALSE(right.Intersects(&left));
    EXPECT_TRUE(left.Intersects(&below));
    EXPECT_FALSE(below.Intersects(&left));
    const IRECT empty;
    EXPECT_FALSE(left.Intersects(&empty));
    EXPECT_FALSE(empty.Intersects(&left));
}

TEST(IRectTest, IntersectClipsOrGivesEmpty) {
    const IRECT a(0, 0, 100, 50), clip(20, 10, 60, 80);
    EXPECT_EQ(a.Intersect(&clip), IRECT(20, 10, 60, 50));
    const IRECT far(200, 200, 210, 210);
    EXPECT_TRUE(a.Intersect(&far).Empty());
}

TEST(IRectTest, ContainsIncludesTopLeftExcludesBottomRight) {
    const IRECT r(10, 20, 30, 40);
    EXPECT_TRUE(r.Contains(10, 20));
    EXPECT_TRUE(r.Contains(29, 39));
    EXPECT_FALSE(r.Contains(30, 39));
    EXPECT_FALSE(r.Contains(29, 40));
    EXPECT_FALSE(IRECT().Contains(0, 0));
}

TEST(IColorTest, PixelHoldsAlphaInTheLowByteAndMasksComponents) {
    EXPECT_EQ(IColorToPixel(IColor(0x11, 0x22, 0x33, 0x44)), 0x44332211u);
    EXPECT_EQ(IColorToPixel(IColor(256 + 1, -1, 0, 0)), 0x0000FF01u);
}

TEST(ITextTest, FaceNameIsCutAndTerminated) {
    const IText t(12, &COLOR_WHITE, "A-face-name-that-is-far-longer-than-thirty-one-characters");
    EXPECT_EQ(std::string(t.mFont).size(), 31u);
    const IText d;
    EXPECT_STREQ(d.mFont, "Monaco");
    EXPECT_EQ(d.mAlign, IText::kAlignCenter);
}

TEST(IBitmapTest, FrameSizeFollowsTheStripLayout) {
    const IBitmap horizontal(nullptr, 730, 200, 73, true);
    EXPECT_EQ(horizontal.FrameWidth(), 10);
    EXPECT_EQ(horizontal.FrameHeight(), 200);
    const IBitmap vertical(nullptr, 70, 101, 2, false);
    EXPECT_EQ(vertical.FrameWidth(), 70);
    EXPECT_EQ(vertical.FrameHeight(), 50);
    const IBitmap noFrames(nullptr, 70, 100, 0, false);
    EXPECT_EQ(noFrames.FrameHeight(), 100);
}
