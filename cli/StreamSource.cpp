#include "cli/StreamSource.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace quenlix::cli {
namespace {

// Bytes kept from the stream's start so the header parser may seek back within them. A WAV header with its
// metadata chunks fits comfortably; a stream that needs more look-back than this is not streamable.
constexpr std::size_t kLookBackBytes = 1 << 20;
// Told to libsndfile as the stream's length: it clamps announced data sizes to the length, so an
// open-ended stream must look longer than any announcement.
constexpr sf_count_t kAssumedLength = std::numeric_limits<sf_count_t>::max() / 4;
// Announced data sizes at or above this are the placeholder of a writer that could not seek back to fill
// in the real size (0xFFFFFFFF in WAV and AU headers): the audio runs to the end of the stream.
constexpr unsigned long long kOpenEndedBytes = 0xFFFFFF00ULL;

// A forward-only byte stream presented to libsndfile as a file: seeks are lazy; reading after a seek forward
// within the look-back reads and keeps the bytes between, reading after one past it finds nothing (and
// consumes nothing), and seeks back reach only the retained start.
class ForwardStream {
  public:
    explicit ForwardStream(int fd) : mFd(fd) {}

    sf_count_t read(void* to, sf_count_t count) {
        auto* out = static_cast<unsigned char*>(to);
        sf_count_t done = 0;
        while (done < count) {
            if (mPos < static_cast<sf_count_t>(mHead.size())) {
                sf_count_t n =
                    std::min<sf_count_t>(count - done, static_cast<sf_count_t>(mHead.size()) - mPos);
                std::memcpy(out + done, mHead.data() + mPos, static_cast<std::size_t>(n));
                done += n;
                mPos += n;
                continue;
            }
            if (mPos < mReceived) {  // behind the stream but past what was kept
                mFailed = true;
                break;
            }
            // A jump ahead beyond the look-back is the header parser looking past the audio for more chunks:
            // reaching it would drop the audio, so the stream answers as if it ended there.
            if (mPos > mReceived && (mPos > static_cast<sf_count_t>(kLookBackBytes) || !skipTo(mPos))) break;
            sf_count_t n = pull(out + done, count - done);
            if (n <= 0) break;
            done += n;
            mPos += n;
        }
        return done;
    }

    sf_count_t seek(sf_count_t offset, int whence) {
        sf_count_t to = whence == SEEK_SET ? offset : whence == SEEK_CUR ? mPos + offset : -1;
        if (to < 0 || (to < mReceived && to >= static_cast<sf_count_t>(mHead.size()))) return -1;
        mPos = to;
        return mPos;
    }

    sf_count_t tell() const { return mPos; }

    // Whether the descriptor has no byte left after what was read (consumes one byte if it has).
    bool atEnd() {
        unsigned char byte = 0;
        return pull(&byte, 1) <= 0;
    }

    bool failed() const { return mFailed; }
    bool empty() const { return mReceived == 0; }
    const std::string& readError() const { return mReadError; }

  private:
    // Reads from the descriptor at mReceived, keeping the bytes while within the look-back.
    sf_count_t pull(unsigned char* to, sf_count_t count) {
        if (mEnded) return 0;
        for (;;) {
            ssize_t n = ::read(mFd, to, static_cast<std::size_t>(count));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                mReadError = std::strerror(errno);
                mFailed = true;
                mEnded = true;
                return -1;
            }
            if (n == 0) {
                mEnded = true;
                return 0;
            }
            if (mHead.size() == static_cast<std::size_t>(mReceived) && mHead.size() + n <= kLookBackBytes)
                mHead.insert(mHead.end(), to, to + n);
            mReceived += n;
            return n;
        }
    }

    bool skipTo(sf_count_t target) {
        unsigned char scratch[4096];
        while (mReceived < target) {
            sf_count_t n = pull(scratch, std::min<sf_count_t>(sizeof scratch, target - mReceived));
            if (n <= 0) return false;
        }
        return true;
    }

    int mFd;
    std::vector<unsigned char> mHead;  // bytes 0 .. size-1 of the stream while it fits the look-back
    sf_count_t mPos = 0;               // libsndfile's position
    sf_count_t mReceived = 0;          // bytes taken from the descriptor
    bool mEnded = false;
    bool mFailed = false;
    std::string mReadError;
};

sf_count_t streamLength(void*) {
    return kAssumedLength;
}
sf_count_t streamSeek(sf_count_t offset, int whence, void* user) {
    return static_cast<ForwardStream*>(user)->seek(offset, whence);
}
sf_count_t streamRead(void* to, sf_count_t count, void* user) {
    return static_cast<ForwardStream*>(user)->read(to, count);
}
sf_count_t streamWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t streamTell(void* user) {
    return static_cast<ForwardStream*>(user)->tell();
}

// Bytes per frame of the PCM encodings a stream carries, or 0 for others.
int frameBytes(const SF_INFO& info) {
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return info.channels;
        case SF_FORMAT_PCM_16:
            return 2 * info.channels;
        case SF_FORMAT_PCM_24:
            return 3 * info.channels;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
            return 4 * info.channels;
        case SF_FORMAT_DOUBLE:
            return 8 * info.channels;
        default:
            return 0;
    }
}

class StreamSource final : public AudioSource {
  public:
    StreamSource(std::unique_ptr<ForwardStream> stream, SNDFILE* file, const SF_INFO& info)
        : mStream(std::move(stream)), mFile(file), mInfo(info) {
        int bytes = frameBytes(info);
        mOpenEnded =
            bytes == 0 ||
            static_cast<unsigned long long>(info.frames) * static_cast<unsigned>(bytes) >= kOpenEndedBytes;
    }
    ~StreamSource() override {
        sf_close(mFile);
        if (mOwnedFd >= 0) ::close(mOwnedFd);
    }
    StreamSource(const StreamSource&) = delete;
    StreamSource& operator=(const StreamSource&) = delete;

    int channels() const override { return mInfo.channels; }
    int sampleRate() const override { return mInfo.samplerate; }
    std::int64_t frames() const override { return kUnknownFrames; }

    // The descriptor read is closed with the source.
    void own(int fd) { mOwnedFd = fd; }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        std::int64_t wanted = std::min<std::int64_t>(maxFrames, mInfo.frames - mRead);
        if (wanted <= 0) return endOfHeaderLength(error);
        sf_count_t got = sf_readf_float(mFile, interleaved, wanted);
        if (got < 0 || mStream->failed()) {
            error = "read error: " +
                    (mStream->readError().empty() ? std::string(sf_strerror(mFile)) : mStream->readError());
            return -1;
        }
        mRead += got;
        if (got < wanted && !mOpenEnded) {
            error = "truncated: the stream's header announces " + std::to_string(mInfo.frames) +
                    " frames, the stream ended after " + std::to_string(mRead);
            return -1;
        }
        return got;
    }

  private:
    // libsndfile has delivered every frame the header can describe. An open-ended WAV stream is limited to
    // 4 GiB of audio by its 32-bit size fields (an open-ended AU stream is not); audio beyond that would be
    // silently dropped, so say so.
    std::int64_t endOfHeaderLength(std::string& error) {
        if (!mOpenEnded || mStream->atEnd()) return 0;
        error = "the stream goes on past the " + std::to_string(mRead) +
                " frames a WAV header can describe (4 GiB of audio); send it as AU (ffmpeg -f au), which has "
                "no such limit";
        return -1;
    }

    std::unique_ptr<ForwardStream> mStream;
    SNDFILE* mFile;
    SF_INFO mInfo;
    bool mOpenEnded = false;
    std::int64_t mRead = 0;
    int mOwnedFd = -1;
};

std::unique_ptr<StreamSource> openStream(int fd, std::string& error) {
    static SF_VIRTUAL_IO io{streamLength, streamSeek, streamRead, streamWrite, streamTell};
    auto stream = std::make_unique<ForwardStream>(fd);
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, stream.get());
    if (file == nullptr) {
        if (!stream->readError().empty())
            error = "read error: " + stream->readError();
        else if (stream->empty())
            error = fd == STDIN_FILENO ? "empty stream: nothing arrived on standard input"
                                       : "empty stream: nothing arrived";
        else
            error = std::string("not a readable audio stream: ") + sf_strerror(nullptr);
        return nullptr;
    }
    auto source = std::make_unique<StreamSource>(std::move(stream), file, info);
    if (std::string reason = formatProblem(info.channels, info.samplerate); !reason.empty()) {
        error = reason;
        return nullptr;
    }
    return source;
}

}  // namespace

std::unique_ptr<AudioSource> openAudioStream(int fd, std::string& error) {
    return openStream(fd, error);
}

bool isStream(const std::string& path) {
    if (path == kStdinName) return true;
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

std::unique_ptr<AudioSource> openNamedStream(const std::string& path, std::string& error) {
    const bool standardInput = path == kStdinName;
    int fd = STDIN_FILENO;
    if (!standardInput) {
        do {
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            error = std::strerror(errno);
            return nullptr;
        }
    }
    if (isatty(fd) == 1) {
        if (!standardInput) ::close(fd);
        // Nothing would arrive until the user typed audio: say what a stream is for instead of waiting.
        error = standardInput
                    ? "standard input is a terminal; pipe a WAV or AU stream into it (ffmpeg -i film.mkv -f "
                      "wav - | ...)"
                    : "a terminal; pipe a WAV or AU stream into standard input instead (ffmpeg -i film.mkv "
                      "-f wav - | ...)";
        return nullptr;
    }
    std::unique_ptr<StreamSource> source = openStream(fd, error);
    if (!standardInput) {
        if (!source) {
            ::close(fd);
            return nullptr;
        }
        source->own(fd);
    }
    return source;
}

}  // namespace quenlix::cli
