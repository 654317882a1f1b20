// Editor images decoded when first drawn: the size comes from the header at once, the pixels on first
// use are exactly those of a PNG decoded at once, and a file that fails after its header still gives
// an image of the promised size.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/DeferredImage.h"
#include "raster/PNG.h"
#include "raster/Pixel.h"

namespace {

namespace fs = std::filesystem;

const char* const kEditorImages[] = {"background.png",
                                     "led_clip.png",
                                     "led_meter_12-60db.png",
                                     "selector_chconf_ebu.png",
                                     "selector_chconf_rms.png",
                                     "selector_metermode_rms.png",
                                     "selector_mode.png",
                                     "selector_offon.png",
                                     "value.png"};

TEST(DeferredImage, EveryEditorImageDecodesOnFirstUseToThePixelsOfAnImmediateDecode) {
    for (const char* name : kEditorImages) {
        SCOPED_TRACE(name);
        const std::string path = std::string(QUENLIX_TEST_IMAGE_DIR) + "/" + name;
        std::unique_ptr<DeferredImage> deferred(DeferredImage::Open(path));
        std::unique_ptr<LICE_IBitmap> decoded(LICE_LoadPNG(path.c_str()));
        ASSERT_NE(deferred, nullptr);
        ASSERT_NE(decoded, nullptr);
        EXPECT_EQ(deferred->getWidth(), decoded->getWidth());
        EXPECT_EQ(deferred->getHeight(), decoded->getHeight());
        EXPECT_FALSE(deferred->IsDecoded()) << "the size alone must not decode the pixels";
        ASSERT_EQ(deferred->getRowSpan(), decoded->getRowSpan());
        EXPECT_TRUE(deferred->IsDecoded());
        const size_t n =
            static_cast<size_t>(decoded->getRowSpan()) * static_cast<size_t>(decoded->getHeight());
        EXPECT_EQ(std::memcmp(deferred->getBits(), decoded->getBits(), n * sizeof(LICE_pixel)), 0);
    }
}

class DeferredImageFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        mFolder = fs::temp_directory_path() / ("deferred-image-" + std::to_string(::getpid()));
        fs::create_directories(mFolder);
        mValid = (mFolder / "valid.png").string();
        LICE_MemBitmap image(7, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) image.getBits()[y * 7 + x] = LICE_RGBA(x * 30, y * 80, 5, 255);
        ASSERT_TRUE(LICE_WritePNG(mValid.c_str(), &image, true));
        std::FILE* f = std::fopen(mValid.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        mBytes.resize(4096);
        mBytes.resize(std::fread(mBytes.data(), 1, mBytes.size(), f));
        std::fclose(f);
    }
    void TearDown() override { fs::remove_all(mFolder); }

    std::string Write(const char* name, const std::vector<unsigned char>& bytes) {
        const std::string path = (mFolder / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return path;
    }

    fs::path mFolder;
    std::string mValid;
    std::vector<unsigned char> mBytes;
};

TEST_F(DeferredImageFiles, NoImageWithoutAUsableHeader) {
    std::vector<unsigned char> zeroWidth = mBytes;
    zeroWidth[16] = zeroWidth[17] = zeroWidth[18] = zeroWidth[19] = 0;
    std::vector<unsigned char> notPng = mBytes;
    notPng[1] = 'J';
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"cut inside the header", std::vector<unsigned char>(mBytes.begin(), mBytes.begin() + 20)},
        {"no PNG signature", notPng},
        {"zero width", zeroWidth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write("case.png", c.bytes);
        EXPECT_EQ(std::unique_ptr<DeferredImage>(DeferredImage::Open(path)), nullptr);
    }
    EXPECT_EQ(std::unique_ptr<DeferredImage>(DeferredImage::Open((mFolder / "absent.png").string())),
              nullptr);
}

TEST_F(DeferredImageFiles, ADamagedBodyGivesATransparentImageOfTheHeadersSize) {
    // The header is whole, the image data is cut off: the size was promised to the controls already.
    const std::string path =
        Write("cut.png", std::vector<unsigned char>(mBytes.begin(), mBytes.begin() + 40));
    std::unique_ptr<DeferredImage> image(DeferredImage::Open(path));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getWidth(), 7);
    EXPECT_EQ(image->getHeight(), 3);
    ASSERT_NE(image->getBits(), nullptr);
    EXPECT_EQ(image->getWidth(), 7);
    for (int i = 0; i < 7 * 3; ++i) EXPECT_EQ(image->getBits()[i], 0u) << "pixel " << i;
}

TEST_F(DeferredImageFiles, AFileReplacedBeforeTheFirstDrawKeepsTheSizeFirstRead) {
    std::unique_ptr<DeferredImage> image(DeferredImage::Open(mValid));
    ASSERT_NE(image, nullptr);
    LICE_MemBitmap other(2, 9);
    ASSERT_TRUE(LICE_WritePNG(mValid.c_str(), &other, true));
    ASSERT_NE(image->getBits(), nullptr);
    EXPECT_EQ(image->getWidth(), 7);
    EXPECT_EQ(image->getHeight(), 3);
    EXPECT_EQ(image->getRowSpan(), 7);
}

}  // namespace
