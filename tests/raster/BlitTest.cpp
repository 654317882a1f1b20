#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "raster/Blit.h"

namespace {
// Channels compared one by one so that a failure names the wrong channel.
void ExpectPixel(LICE_pixel actual, int r, int g, int b, int a) {
    EXPECT_EQ(LICE_GETR(actual), r) << "red";
    EXPECT_EQ(LICE_GETG(actual), g) << "green";
    EXPECT_EQ(LICE_GETB(actual), b) << "blue";
    EXPECT_EQ(LICE_GETA(actual), a) << "alpha";
}

// Pixel values that say where they came from: red = x, green = y.
void FillWithCoordinates(LICE_IBitmap& bm) {
    for (int y = 0; y < bm.getHeight(); ++y)
        for (int x = 0; x < bm.getWidth(); ++x)
            LICE_PutPixel(&bm, x, y, LICE_RGBA(x, y, 7, 255), 1.0f, LICE_BLIT_MODE_CLOBBER);
}
}  // namespace

TEST(PixelLayout, BytesInMemoryAreAlphaRedGreenBlue) {
    const LICE_pixel p = LICE_RGBA(0x11, 0x22, 0x33, 0x44);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&p);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[1], 0x11);
    EXPECT_EQ(bytes[2], 0x22);
    EXPECT_EQ(bytes[3], 0x33);
    EXPECT_EQ(LICE_RGBA(0x1FF, 0, 0, 0), LICE_RGBA(0xFF, 0, 0, 0));  // no spill into green
}

// A half-transparent source at half weight onto an opaque destination, every mode.
class BlendModes : public ::testing::Test {
  protected:
    LICE_MemBitmap dest{3, 2};
    LICE_MemBitmap src{3, 2};
    const LICE_pixel destColor = LICE_RGBA(100, 150, 200, 255);
    const LICE_pixel srcColor = LICE_RGBA(200, 100, 50, 128);

    void SetUp() override {
        LICE_Clear(&dest, destColor);
        LICE_Clear(&src, srcColor);
    }

    LICE_pixel BlitAndRead(int mode, float weight) {
        LICE_Blit(&dest, &src, 0, 0, 0, 0, 3, 2, weight, mode);
        return LICE_GetPixel(&dest, 2, 1);
    }
};

TEST_F(BlendModes, CopyMixesBySourceAlphaTimesWeight) {
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_COPY, 0.5f), 125, 137, 162, 255);
}

TEST_F(BlendModes, ClobberIgnoresSourceAlphaAndMixesAlphaToo) {
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_CLOBBER, 0.5f), 150, 125, 125, 192);
}

TEST_F(BlendModes, ClobberAtFullWeightIsAnExactCopy) {
    EXPECT_EQ(BlitAndRead(LICE_BLIT_MODE_CLOBBER, 1.0f), srcColor);
}

TEST_F(BlendModes, AddScalesSourceByAlphaAndWeight) {
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_ADD, 0.5f), 150, 175, 213, 255);
}

TEST_F(BlendModes, AddSaturatesAt255) {
    LICE_Clear(&src, LICE_RGBA(200, 200, 200, 255));
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_ADD, 1.0f), 255, 255, 255, 255);
}

TEST_F(BlendModes, DodgeBrightensTowardsTheDodgedColour) {
    // dodge(100, 200) saturates at 255, dodge(150, 100) = 246, dodge(200, 50) = 248.
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_DODGE, 0.5f), 139, 174, 212, 255);
}

TEST_F(BlendModes, DodgeWithFullSourceChannelGivesWhite) {
    LICE_Clear(&src, LICE_RGBA(255, 0, 255, 255));
    LICE_Clear(&dest, LICE_RGBA(0, 0, 10, 255));
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_DODGE, 1.0f), 255, 0, 255, 255);
}

TEST_F(BlendModes, CopyOntoTransparentDestinationAccumulatesAlpha) {
    LICE_Clear(&dest, LICE_RGBA(0, 0, 0, 0));
    LICE_Clear(&src, LICE_RGBA(255, 255, 255, 255));
    ExpectPixel(BlitAndRead(LICE_BLIT_MODE_COPY, 0.5f), 128, 128, 128, 128);
}

TEST_F(BlendModes, FullyTransparentSourceLeavesDestinationInCopyAddAndDodge) {
    LICE_Clear(&src, LICE_RGBA(255, 255, 255, 0));
    for (int mode : {LICE_BLIT_MODE_COPY, LICE_BLIT_MODE_ADD, LICE_BLIT_MODE_DODGE})
        EXPECT_EQ(BlitAndRead(mode, 1.0f), destColor) << "mode " << mode;
}

TEST_F(BlendModes, WeightIsClampedAndNaNDrawsNothing) {
    EXPECT_EQ(BlitAndRead(LICE_BLIT_MODE_CLOBBER, 7.0f), srcColor);
    LICE_Clear(&dest, destColor);
    EXPECT_EQ(BlitAndRead(LICE_BLIT_MODE_CLOBBER, -1.0f), destColor);
    EXPECT_EQ(BlitAndRead(LICE_BLIT_MODE_CLOBBER, std::numeric_limits<float>::quiet_NaN()), destColor);
    EXPECT_EQ(BlitAndRead(99, 1.0f), destColor);  // unknown mode
}

TEST_F(BlendModes, FillRectUsesTheSameCompositing) {
    LICE_FillRect(&dest, 0, 0, 3, 2, srcColor, 0.5f, LICE_BLIT_MODE_COPY);
    ExpectPixel(LICE_GetPixel(&dest, 1, 1), 125, 137, 162, 255);
    LICE_Clear(&dest, destColor);
    LICE_FillRect(&dest, 0, 0, 3, 2, srcColor, 0.5f, LICE_BLIT_MODE_DODGE);
    ExpectPixel(LICE_GetPixel(&dest, 0, 0), 139, 174, 212, 255);
}

// Clipping: every drawn pixel shows the source pixel that would lie there unclipped.
class ClippedBlit : public ::testing::Test {
  protected:
    LICE_MemBitmap src{8, 8};
    LICE_SysBitmap dest{6, 5};  // padded rows: catches code that steps by width
    const LICE_pixel background = LICE_RGBA(1, 2, 3, 255);

    void SetUp() override {
        FillWithCoordinates(src);
        LICE_Clear(&dest, background);
    }

    int CountChanged() const {
        int n = 0;
        for (int y = 0; y < dest.getHeight(); ++y)
            for (int x = 0; x < dest.getWidth(); ++x) n += LICE_GetPixel(&dest, x, y) != background;
        return n;
    }
};

TEST_F(ClippedBlit, NegativeDestinationMovesTheSourceOrigin) {
    LICE_Blit(&dest, &src, -2, -3, 1, 1, 4, 5, 1.0f, LICE_BLIT_MODE_COPY);
    // Destination (0,0) shows source (1 + 2, 1 + 3); the visible block is 2 x 2.
    ExpectPixel(LICE_GetPixel(&dest, 0, 0), 3, 4, 7, 255);
    ExpectPixel(LICE_GetPixel(&dest, 1, 1), 4, 5, 7, 255);
    EXPECT_EQ(CountChanged(), 4);
}

TEST_F(ClippedBlit, BlockIsCutAtTheDestinationsRightAndBottomEdges) {
    LICE_Blit(&dest, &src, 4, 3, 0, 0, 8, 8, 1.0f, LICE_BLIT_MODE_CLOBBER);
    ExpectPixel(LICE_GetPixel(&dest, 5, 4), 1, 1, 7, 255);
    EXPECT_EQ(CountChanged(), 4);
    EXPECT_EQ(LICE_GetPixel(&dest, 3, 3), background);
}

TEST_F(ClippedBlit, SourceOutsideItsRasterMovesTheDestination) {
    LICE_Blit(&dest, &src, 0, 0, -1, 6, 3, 3, 1.0f, LICE_BLIT_MODE_CLOBBER);
    // Source x -1 does not exist: destination column 0 stays, column 1 shows source (0, 6).
    EXPECT_EQ(LICE_GetPixel(&dest, 0, 0), background);
    ExpectPixel(LICE_GetPixel(&dest, 1, 0), 0, 6, 7, 255);
    ExpectPixel(LICE_GetPixel(&dest, 2, 1), 1, 7, 7, 255);
    EXPECT_EQ(CountChanged(), 4);
}

TEST_F(ClippedBlit, EmptyOrAbsurdBlocksDrawNothing) {
    LICE_Blit(&dest, &src, 0, 0, 0, 0, 0, 3, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_Blit(&dest, &src, 0, 0, 0, 0, 3, -4, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_Blit(&dest, &src, INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_Blit(&dest, &src, INT_MAX, 0, 0, 0, INT_MAX, 2, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_Blit(&dest, nullptr, 0, 0, 0, 0, 3, 3, 1.0f, LICE_BLIT_MODE_COPY);
    LICE_FillRect(&dest, INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 1.0f, LICE_BLIT_MODE_CLOBBER);
    EXPECT_EQ(CountChanged(), 0);
}

TEST_F(ClippedBlit, OverlappingBlitWithinOneRasterReadsTheOriginal) {
    FillWithCoordinates(src);
    LICE_Blit(&src, &src, 1, 1, 0, 0, 7, 7, 1.0f, LICE_BLIT_MODE_CLOBBER);
    ExpectPixel(LICE_GetPixel(&src, 7, 7), 6, 6, 7, 255);
    ExpectPixel(LICE_GetPixel(&src, 3, 1), 2, 0, 7, 255);
}

TEST_F(ClippedBlit, FillRectIsClippedToTheRaster) {
    LICE_FillRect(&dest, -3, 4, 5, 10, LICE_RGBA(9, 9, 9, 255), 1.0f, LICE_BLIT_MODE_COPY);
    EXPECT_EQ(CountChanged(), 2);
    ExpectPixel(LICE_GetPixel(&dest, 1, 4), 9, 9, 9, 255);
}

TEST(Rasters, SysBitmapRowsArePaddedAndAligned) {
    LICE_SysBitmap bm(5, 3);
    EXPECT_EQ(bm.getRowSpan() % 4, 0);
    EXPECT_GE(bm.getRowSpan(), 5);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bm.getBits()) % 32, 0u);
}

TEST(Rasters, ResizeRefusesHugeSizesAndClampsNegativeOnes) {
    LICE_MemBitmap bm(4, 4);
    EXPECT_FALSE(bm.resize(LICE_MAX_DIMENSION + 1, 2));
    EXPECT_EQ(bm.getWidth(), 0);
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_TRUE(bm.resize(-5, 3));
    EXPECT_EQ(bm.getWidth(), 0);
    LICE_FillRect(&bm, 0, 0, 5, 5, 0, 1.0f, LICE_BLIT_MODE_COPY);  // empty raster: no crash
    EXPECT_EQ(LICE_GetPixel(&bm, 0, 0), 0u);
    LICE_SysBitmap sys;
    EXPECT_TRUE(sys.resize(7, 2));
    EXPECT_EQ(LICE_GetPixel(&sys, 6, 1), 0u);  // fresh pixels are transparent black
}
