#include <gtest/gtest.h>

#include <filesystem>

#include "WavFiles.h"
#include "cli/AudioSource.h"

namespace quenlix::cli {
namespace {

using test::ScratchDir;
using test::writeWav;

class AudioFileReading : public ::testing::Test {
  protected:
    std::unique_ptr<AudioSource> open(const std::string& path) {
        error.clear();
        return openAudioFile(path, error);
    }
    ScratchDir dir;
    std::string error;
};

TEST_F(AudioFileReading, ReadsEveryChannelCountFromOneToSixInterleaved) {
    for (int channels = 1; channels <= 6; ++channels) {
        std::string path = dir.file("c" + std::to_string(channels) + ".wav");
        ASSERT_TRUE(writeWav(
            path, channels, 48000, 1000,
            [](std::int64_t i, int c) { return (c + 1) * 0.1 * (i % 2 == 0 ? 1.0 : -1.0); },
            SF_FORMAT_WAV | SF_FORMAT_FLOAT));
        auto src = open(path);
        ASSERT_TRUE(src) << error;
        EXPECT_EQ(src->channels(), channels);
        EXPECT_EQ(src->sampleRate(), 48000);
        EXPECT_EQ(src->frames(), 1000);
        std::vector<float> buf(6 * 1000);
        std::int64_t total = 0;
        for (std::int64_t got; (got = src->read(buf.data() + total * channels, 300, error)) > 0;)
            total += got;
        EXPECT_EQ(total, 1000);
        EXPECT_FLOAT_EQ(buf[channels - 1], channels * 0.1f);
        EXPECT_FLOAT_EQ(buf[channels + channels - 1], -channels * 0.1f);
    }
}

TEST_F(AudioFileReading, ReadsTheOtherFormatsLibsndfileKnows) {
    const std::pair<const char*, int> formats[] = {{"x.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                                   {"x.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
                                                   {"x.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}};
    for (const auto& [name, format] : formats) {
        std::string path = dir.file(name);
        ASSERT_TRUE(writeWav(path, 2, 44100, 44100, test::sine(-20.0, 1000.0, 44100), format)) << name;
        auto src = open(path);
        ASSERT_TRUE(src) << name << ": " << error;
        EXPECT_EQ(src->channels(), 2) << name;
        EXPECT_EQ(src->sampleRate(), 44100) << name;
        EXPECT_EQ(src->frames(), 44100) << name;
    }
}

TEST_F(AudioFileReading, SevenChannelsIsRefusedWithTheCount) {
    std::string path = dir.file("seven.wav");
    ASSERT_TRUE(writeWav(path, 7, 48000, 100, [](std::int64_t, int) { return 0.0; }));
    EXPECT_FALSE(open(path));
    EXPECT_NE(error.find("7 channels"), std::string::npos) << error;
}

TEST_F(AudioFileReading, RatesFrom8kTo384kAreAcceptedAndOthersRefused) {
    for (int rate : {7999, 8000, 384000, 384001}) {
        std::string path = dir.file("r" + std::to_string(rate) + ".wav");
        ASSERT_TRUE(writeWav(path, 1, rate, 100, [](std::int64_t, int) { return 0.0; }));
        bool ok = open(path) != nullptr;
        EXPECT_EQ(ok, rate >= 8000 && rate <= 384000) << rate << ": " << error;
        if (!ok) {
            EXPECT_NE(error.find(std::to_string(rate)), std::string::npos) << error;
        }
    }
}

TEST_F(AudioFileReading, BrokenFilesGiveOneLineReasons) {
    std::string empty = dir.file("empty.wav");
    test::writeBytes(empty, "");
    std::string garbage = dir.file("garbage.wav");
    test::writeBytes(garbage, std::string(4000, '\x5a'));
    std::string header = dir.file("header-only.wav");
    ASSERT_TRUE(writeWav(header, 2, 48000, 0, [](std::int64_t, int) { return 0.0; }));

    const std::pair<std::string, std::string> cases[] = {
        {dir.file("missing.wav"), "No such file"},
        {empty, "empty"},
        {garbage, "not a readable audio file"},
        {header, "no audio"},
        {dir.file(""), "directory"},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_FALSE(open(path)) << path;
        EXPECT_NE(error.find(reason), std::string::npos) << path << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST_F(AudioFileReading, ATruncatedFileIsRefusedNotMeteredInPart) {
    std::string path = dir.file("cut.wav");
    ASSERT_TRUE(writeWav(path, 2, 48000, 48000, test::sine(-20.0, 1000.0, 48000)));
    // Keep the header, which still announces a second of audio, and a tenth of the data.
    std::filesystem::resize_file(path, 44 + 48000 * 2 * 3 / 10);
    EXPECT_FALSE(open(path));
    EXPECT_NE(error.find("truncated: the header announces 288000 bytes of audio, the file holds 28800"),
              std::string::npos)
        << error;
}

TEST_F(AudioFileReading, AStreamedWavWithoutLengthIsNotCalledTruncated) {
    std::string path = dir.file("streamed.wav");
    ASSERT_TRUE(
        writeWav(path, 1, 48000, 4800, test::sine(-20.0, 1000.0, 48000), SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    // A writer that could not seek back leaves the data size at its "unknown" mark.
    std::string bytes = test::readFile(path);
    std::size_t data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    bytes.replace(data + 4, 4, std::string(4, '\xff'));
    test::writeBytes(path, bytes);
    auto src = open(path);
    ASSERT_TRUE(src) << error;
    EXPECT_EQ(src->frames(), 4800);
}

}  // namespace
}  // namespace quenlix::cli
