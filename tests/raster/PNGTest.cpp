#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "raster/Blit.h"
#include "raster/PNG.h"

namespace {
// A PNG image described byte for byte, encoded with libpng itself so that every colour type,
// bit depth and transparency form the decoder must handle can be produced.
struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<unsigned char>> rows;  // packed as stored in the file (16-bit big-endian)
    std::vector<png_color> palette;
    std::vector<unsigned char> paletteAlpha;  // tRNS for palette images
    bool hasKey = false;
    png_color_16 key = {};  // tRNS for grey and RGB images
};

void AppendBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void Flush(png_structp) {}

std::vector<unsigned char> Encode(PngSpec image) {
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "test image could not be encoded";
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, Flush);
    png_set_IHDR(png, info, image.width, image.height, image.bitDepth, image.colorType,
                 image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty())
        png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
    if (!image.paletteAlpha.empty())
        png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()),
                     nullptr);
    if (image.hasKey) png_set_tRNS(png, info, nullptr, 0, &image.key);
    std::vector<png_bytep> rowPtrs;
    for (auto& row : image.rows) rowPtrs.push_back(row.data());
    png_set_rows(png, info, rowPtrs.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::unique_ptr<LICE_IBitmap> Decode(const std::vector<unsigned char>& bytes, std::string* error = nullptr) {
    return std::unique_ptr<LICE_IBitmap>(LICE_LoadPNGFromMemory(bytes.data(), bytes.size(), nullptr, error));
}

// ctest runs every case as its own process, several at once: a name shared by two cases lets one
// see the other's file, so each process gets names of its own.
std::string TempPath(const char* name) {
    return ::testing::TempDir() + "raster_png_" + std::to_string(getpid()) + "_" + name;
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

// Each colour type decodes to 8-bit A, R, G, B.
class PngColourTypes : public ::testing::Test {
  protected:
    void ExpectRow(const PngSpec& image, const std::vector<LICE_pixel>& expected) {
        std::string error;
        auto bm = Decode(Encode(image), &error);
        ASSERT_TRUE(bm) << error;
        ASSERT_EQ(bm->getWidth(), static_cast<int>(expected.size()));
        ASSERT_EQ(bm->getHeight(), 1);
        for (size_t x = 0; x < expected.size(); ++x)
            EXPECT_EQ(LICE_GetPixel(bm.get(), static_cast<int>(x), 0), expected[x])
                << "pixel " << x << " has ARGB " << std::hex
                << LICE_GETA(LICE_GetPixel(bm.get(), static_cast<int>(x), 0)) << " "
                << LICE_GETR(LICE_GetPixel(bm.get(), static_cast<int>(x), 0));
    }
};

TEST_F(PngColourTypes, PaletteWithTransparencyTable) {
    PngSpec s;
    s.width = 3;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
    s.paletteAlpha = {0, 128};  // third entry has no alpha: opaque
    s.rows = {{0, 1, 2}};
    ExpectRow(s, {LICE_RGBA(10, 20, 30, 0), LICE_RGBA(40, 50, 60, 128), LICE_RGBA(70, 80, 90, 255)});
}

TEST_F(PngColourTypes, TwoBitPaletteWithoutTransparency) {
    PngSpec s;
    s.width = 4;
    s.colorType = PNG_COLOR_TYPE_PALETTE;
    s.bitDepth = 2;
    s.palette = {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
    s.rows = {{0xE4}};  // indices 3, 2, 1, 0
    ExpectRow(s, {LICE_RGBA(4, 4, 4, 255), LICE_RGBA(3, 3, 3, 255), LICE_RGBA(2, 2, 2, 255),
                  LICE_RGBA(1, 1, 1, 255)});
}

TEST_F(PngColourTypes, LowDepthGreyIsScaledToFullRange) {
    PngSpec one;
    one.width = 2;
    one.colorType = PNG_COLOR_TYPE_GRAY;
    one.bitDepth = 1;
    one.rows = {{0x80}};
    ExpectRow(one, {LICE_RGBA(255, 255, 255, 255), LICE_RGBA(0, 0, 0, 255)});

    PngSpec four = one;
    four.bitDepth = 4;
    four.rows = {{0x7F}};
    ExpectRow(four, {LICE_RGBA(0x77, 0x77, 0x77, 255), LICE_RGBA(255, 255, 255, 255)});
}

TEST_F(PngColourTypes, GreyTransparencyKeyBecomesAlpha) {
    PngSpec s;
    s.width = 2;
    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.rows = {{50, 51}};
    s.hasKey = true;
    s.key.gray = 50;
    ExpectRow(s, {LICE_RGBA(50, 50, 50, 0), LICE_RGBA(51, 51, 51, 255)});
}

TEST_F(PngColourTypes, SixteenBitGreyKeepsTheHighByte) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_GRAY;
    s.bitDepth = 16;
    s.rows = {{0xAB, 0xCD}};
    ExpectRow(s, {LICE_RGBA(0xAB, 0xAB, 0xAB, 255)});
}

TEST_F(PngColourTypes, GreyWithAlphaAtBothDepths) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    s.rows = {{30, 200}};
    ExpectRow(s, {LICE_RGBA(30, 30, 30, 200)});
    s.bitDepth = 16;
    s.rows = {{0x12, 0x34, 0x80, 0x00}};
    ExpectRow(s, {LICE_RGBA(0x12, 0x12, 0x12, 0x80)});
}

TEST_F(PngColourTypes, RgbTransparencyKeyMatchesOnlyTheExactColour) {
    PngSpec s;
    s.width = 2;
    s.rows = {{10, 20, 30, 10, 20, 31}};
    s.hasKey = true;
    s.key.red = 10;
    s.key.green = 20;
    s.key.blue = 30;
    ExpectRow(s, {LICE_RGBA(10, 20, 30, 0), LICE_RGBA(10, 20, 31, 255)});
}

TEST_F(PngColourTypes, SixteenBitRgbKeyIsComparedBeforeTheCut) {
    // Both pixels cut to the same 8-bit colour; only the first matches the 16-bit key.
    PngSpec s;
    s.width = 2;
    s.bitDepth = 16;
    s.rows = {{0x01, 0x02, 0xFE, 0xFF, 0x80, 0x81, 0x01, 0x02, 0xFE, 0xFF, 0x80, 0x82}};
    s.hasKey = true;
    s.key.red = 0x0102;
    s.key.green = 0xFEFF;
    s.key.blue = 0x8081;
    ExpectRow(s, {LICE_RGBA(0x01, 0xFE, 0x80, 0), LICE_RGBA(0x01, 0xFE, 0x80, 255)});
}

TEST_F(PngColourTypes, RgbaAtBothDepths) {
    PngSpec s;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = {{1, 2, 3, 4}};
    ExpectRow(s, {LICE_RGBA(1, 2, 3, 4)});
    s.bitDepth = 16;
    s.rows = {{0xFF, 0x00, 0x00, 0xFF, 0x80, 0x00, 0x7F, 0xFF}};
    ExpectRow(s, {LICE_RGBA(0xFF, 0x00, 0x80, 0x7F)});
}

TEST_F(PngColourTypes, InterlacedImageDecodesInPlace) {
    PngSpec s;
    s.width = 9;
    s.height = 9;
    for (int y = 0; y < 9; ++y) {
        std::vector<unsigned char> row;
        for (int x = 0; x < 9; ++x)
            row.insert(row.end(),
                       {static_cast<unsigned char>(x * 20), static_cast<unsigned char>(y * 20), 99});
        s.rows.push_back(row);
    }
    s.interlaced = true;
    auto bm = Decode(Encode(s));
    ASSERT_TRUE(bm);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(LICE_GetPixel(bm.get(), x, y), LICE_RGBA(x * 20, y * 20, 99, 255)) << x << "," << y;
}

TEST(PngFiles, DecodesFromAFileIntoAGivenPaddedRaster) {
    PngSpec s;
    s.width = 3;
    s.height = 2;
    s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    s.rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}};
    const std::string path = TempPath("given.png");
    WriteFile(path, Encode(s));
    LICE_SysBitmap target(1, 1);
    EXPECT_EQ(LICE_LoadPNG(path.c_str(), &target), &target);
    EXPECT_EQ(target.getWidth(), 3);
    EXPECT_EQ(LICE_GetPixel(&target, 0, 1), LICE_RGBA(13, 14, 15, 16));
    EXPECT_EQ(LICE_GetPixel(&target, 2, 1), LICE_RGBA(21, 22, 23, 24));
    std::remove(path.c_str());
}

TEST(PngFiles, BadInputGivesNullAndAReason) {
    std::string error;
    EXPECT_EQ(LICE_LoadPNG(TempPath("missing.png").c_str(), nullptr, &error), nullptr);
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_EQ(LICE_LoadPNG(nullptr, nullptr, &error), nullptr);

    const std::string text = TempPath("text.png");
    WriteFile(text, {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    EXPECT_EQ(LICE_LoadPNG(text.c_str(), nullptr, &error), nullptr);
    EXPECT_NE(error.find("not a PNG"), std::string::npos) << error;
    std::remove(text.c_str());
    EXPECT_EQ(LICE_LoadPNGFromMemory(nullptr, 100, nullptr, &error), nullptr);
}

TEST(PngFiles, TruncatedOrCorruptDataIsRefused) {
    PngSpec s;
    s.width = 40;
    s.height = 40;
    s.rows.assign(40, std::vector<unsigned char>(120, 0));
    for (int y = 0; y < 40; ++y)
        for (int i = 0; i < 120; ++i) s.rows[y][i] = static_cast<unsigned char>((y * 31 + i * 7) & 0xFF);
    std::vector<unsigned char> bytes = Encode(s);
    ASSERT_TRUE(Decode(bytes));

    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + static_cast<long>(bytes.size() / 2));
    std::string error;
    EXPECT_FALSE(Decode(cut, &error));
    EXPECT_FALSE(error.empty());

    std::vector<unsigned char> flipped = bytes;
    flipped[bytes.size() / 2] ^= 0x5A;  // inside the image data: CRC or inflate fails
    EXPECT_FALSE(Decode(flipped));

    // Every prefix fails cleanly (no crash, no leak under the sanitizers).
    for (size_t n = 0; n < bytes.size() - 12; n += 37)
        EXPECT_FALSE(Decode(std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(n))))
            << n;
}

TEST(PngFiles, ImplausibleSizesAreRefusedBeforeAllocating) {
    // A valid 1 x 1 file whose header is rewritten to claim a huge size (CRC fixed up).
    PngSpec s;
    s.rows = {{1, 2, 3}};
    std::vector<unsigned char> bytes = Encode(s);
    auto claim = [&](uint32_t w, uint32_t h) {
        std::vector<unsigned char> b = bytes;
        const unsigned char dims[8] = {
            static_cast<unsigned char>(w >> 24), static_cast<unsigned char>(w >> 16),
            static_cast<unsigned char>(w >> 8),  static_cast<unsigned char>(w),
            static_cast<unsigned char>(h >> 24), static_cast<unsigned char>(h >> 16),
            static_cast<unsigned char>(h >> 8),  static_cast<unsigned char>(h)};
        std::copy(dims, dims + 8, b.begin() + 16);
        const uLong crc = crc32(crc32(0, nullptr, 0), b.data() + 12, 17);
        for (int i = 0; i < 4; ++i) b[29 + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
        return b;
    };
    std::string error;
    EXPECT_FALSE(Decode(claim(100000, 1), &error));
    EXPECT_FALSE(Decode(claim(30000, 30000), &error));
    EXPECT_FALSE(error.empty());
}

class PngWriting : public ::testing::Test {
  protected:
    LICE_SysBitmap image{5, 3};
    const std::string path = TempPath("written.png");

    void SetUp() override {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                LICE_PutPixel(&image, x, y, LICE_RGBA(x * 50, y * 100, 255 - x * 10, 40 * x + y), 1.0f,
                              LICE_BLIT_MODE_CLOBBER);
    }
    void TearDown() override { std::remove(path.c_str()); }
};

TEST_F(PngWriting, RgbaRoundTripsExactly) {
    std::string error;
    ASSERT_TRUE(LICE_WritePNG(path.c_str(), &image, true, &error)) << error;
    std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(path.c_str()));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->getWidth(), 5);
    ASSERT_EQ(back->getHeight(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(LICE_GetPixel(back.get(), x, y), LICE_GetPixel(&image, x, y)) << x << "," << y;
}

TEST_F(PngWriting, RgbDropsAlpha) {
    ASSERT_TRUE(LICE_WritePNG(path.c_str(), &image, false));
    std::unique_ptr<LICE_IBitmap> back(LICE_LoadPNG(path.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(LICE_GetPixel(back.get(), 4, 2), LICE_GetPixel(&image, 4, 2) | 0xFFu);
}

TEST_F(PngWriting, FailuresAreReportedAndLeaveNoFile) {
    std::string error;
    EXPECT_FALSE(LICE_WritePNG((::testing::TempDir() + "no/such/dir/x.png").c_str(), &image, true, &error));
    EXPECT_FALSE(error.empty());
    LICE_MemBitmap empty;
    EXPECT_FALSE(LICE_WritePNG(path.c_str(), &empty, true, &error));
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

// A failed write into a device gives the system's reason and leaves the device alone (run as root,
// removing the name after a failure would delete /dev/full itself).
TEST_F(PngWriting, AFullDeviceGivesTheSystemsReasonAndStaysADevice) {
    struct stat before;
    if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode))
        GTEST_SKIP() << "no /dev/full device here";
    std::string error;
    EXPECT_FALSE(LICE_WritePNG("/dev/full", &image, true, &error));
    EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
    struct stat after;
    ASSERT_EQ(stat("/dev/full", &after), 0) << "the device was removed";
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}
