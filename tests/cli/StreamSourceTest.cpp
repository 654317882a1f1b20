// Audio from a non-seekable stream: WAV and AU bytes written into a pipe by another thread, as a decoder
// writes them, read back through the stream source.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <sstream>
#include <thread>

#include "WavFiles.h"
#include "cli/Progress.h"
#include "cli/StreamSource.h"

namespace quenlix::cli {
namespace {

using test::ScratchDir;

// The bytes of a file written by libsndfile in `format`.
std::string fileBytes(const ScratchDir& dir, int channels, std::int64_t frames, int format) {
    std::string path = dir.file("source");
    EXPECT_TRUE(test::writeWav(path, channels, 48000, frames, test::sine(-20.0, 440.0, 48000), format));
    return test::readFile(path);
}

// A WAV as a writer that cannot seek back leaves it: the RIFF and data sizes are 0xFFFFFFFF.
std::string openEnded(std::string wav) {
    std::size_t data = wav.find("data");
    EXPECT_NE(data, std::string::npos);
    std::memset(&wav[4], 0xFF, 4);
    std::memset(&wav[data + 4], 0xFF, 4);
    return wav;
}

// Feeds `bytes` into a pipe from a thread of its own, then closes it.
class Pipe {
  public:
    explicit Pipe(std::string bytes) : mBytes(std::move(bytes)) {
        signal(SIGPIPE, SIG_IGN);  // the reader may stop before the writer is done
        int fds[2] = {-1, -1};
        EXPECT_EQ(pipe(fds), 0);
        mRead = fds[0];
        int writeFd = fds[1];
        mWriter = std::thread([this, writeFd] {
            for (std::size_t at = 0; at < mBytes.size();) {
                ssize_t n = write(writeFd, mBytes.data() + at, mBytes.size() - at);
                if (n <= 0) break;
                at += static_cast<std::size_t>(n);
            }
            close(writeFd);
        });
    }
    ~Pipe() {
        close(mRead);  // a reader that stopped early makes the writer's next write fail, so it ends
        mWriter.join();
    }
    int fd() const { return mRead; }

  private:
    std::string mBytes;
    int mRead;
    std::thread mWriter;
};

// Reads the whole source; returns the samples, or sets `error`.
std::vector<float> readAll(AudioSource& source, std::string& error) {
    std::vector<float> all, block(static_cast<std::size_t>(source.channels()) * 1000);
    for (;;) {
        std::int64_t got = source.read(block.data(), 1000, error);
        if (got <= 0) break;
        all.insert(all.end(), block.begin(), block.begin() + got * source.channels());
    }
    return all;
}

std::vector<float> decodeFile(const ScratchDir& dir, const std::string& bytes) {
    std::string path = dir.file("expected");
    test::writeBytes(path, bytes);
    std::string error;
    std::unique_ptr<AudioSource> file = openAudioFile(path, error);
    EXPECT_TRUE(file) << error;
    return file ? readAll(*file, error) : std::vector<float>();
}

class StreamSource : public ::testing::Test {
  protected:
    ScratchDir dir;
};

TEST_F(StreamSource, DeliversTheSameSamplesAsTheFileWhateverTheHeaderAnnounces) {
    constexpr std::int64_t kFrames = 300000;  // 1.8 MB of 24-bit stereo: well past what is kept for look-back
    std::string wav = fileBytes(dir, 2, kFrames, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    std::string au = fileBytes(dir, 2, kFrames, SF_FORMAT_AU | SF_FORMAT_FLOAT);
    const std::vector<float> expected = decodeFile(dir, wav);
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(2 * kFrames));
    struct Case {
        const char* what;
        std::string bytes;
    };
    for (const Case& c :
         {Case{"WAV with its length", wav}, Case{"open-ended WAV", openEnded(wav)}, Case{"AU", au}}) {
        Pipe pipe(c.bytes);
        std::string error;
        std::unique_ptr<AudioSource> source = openAudioStream(pipe.fd(), error);
        ASSERT_TRUE(source) << c.what << ": " << error;
        EXPECT_EQ(source->frames(), kUnknownFrames) << c.what;
        EXPECT_EQ(source->channels(), 2);
        EXPECT_EQ(source->sampleRate(), 48000);
        std::vector<float> got = readAll(*source, error);
        EXPECT_TRUE(error.empty()) << c.what << ": " << error;
        ASSERT_EQ(got.size(), expected.size()) << c.what;
        // 24-bit and float encodings of the same sine agree to the 24-bit step.
        for (std::size_t i = 0; i < got.size(); i += 997) ASSERT_NEAR(got[i], expected[i], 2e-7) << c.what;
    }
}

TEST_F(StreamSource, ADamagedStreamIsAnErrorForThatInput) {
    std::string wav = fileBytes(dir, 2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::string seven = fileBytes(dir, 7, 100, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    for (const Case& c : {Case{"empty", "", "empty stream"},
                          Case{"not audio", "this is not a sound\n", "not a readable audio stream"},
                          Case{"header cut short", wav.substr(0, 30), "not a readable audio stream"},
                          Case{"seven channels", seven, "7 channels"}}) {
        Pipe pipe(c.bytes);
        std::string error;
        EXPECT_FALSE(openAudioStream(pipe.fd(), error)) << c.what;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.what << ": " << error;
    }

    // A stream whose header announces its length and that ends sooner has lost audio.
    Pipe cut(wav.substr(0, wav.size() / 2));
    std::string error;
    std::unique_ptr<AudioSource> source = openAudioStream(cut.fd(), error);
    ASSERT_TRUE(source) << error;
    readAll(*source, error);
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    // An open-ended one simply ends where the writer stopped.
    Pipe ended(openEnded(wav).substr(0, wav.size() / 2));
    error.clear();
    source = openAudioStream(ended.fd(), error);
    ASSERT_TRUE(source) << error;
    std::vector<float> got = readAll(*source, error);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_GT(got.size(), 40000u);
}

TEST(StreamProgress, ShowsTheAudioMeteredAndTheTimeTakenInsteadOfABar) {
    std::ostringstream err;
    Progress p(err, true, 1);
    p.begin(0, "-");
    p.advance(0, 75 * 48000, kUnknownFrames, 75 * 48000, 48000);
    std::string last = err.str().substr(err.str().rfind('\r'));
    EXPECT_EQ(last.rfind("\r[0:01:15 of audio in 0:00:00]", 0), 0u) << last;
    EXPECT_EQ(last.find('%'), std::string::npos) << "no percentage of an unknown length: " << last;
}

}  // namespace
}  // namespace quenlix::cli
