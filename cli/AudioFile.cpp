#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/AudioSource.h"

namespace quenlix::cli {
namespace {

class SndFileSource final : public AudioSource {
  public:
    SndFileSource(SNDFILE* file, const SF_INFO& info) : mFile(file), mInfo(info) {}
    ~SndFileSource() override { sf_close(mFile); }
    SndFileSource(const SndFileSource&) = delete;
    SndFileSource& operator=(const SndFileSource&) = delete;

    int channels() const override { return mInfo.channels; }
    int sampleRate() const override { return mInfo.samplerate; }
    std::int64_t frames() const override { return mInfo.frames; }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) override {
        std::int64_t wanted = maxFrames;
        if (wanted > mInfo.frames - mRead) wanted = mInfo.frames - mRead;
        if (wanted <= 0) return 0;
        sf_count_t got = sf_readf_float(mFile, interleaved, wanted);
        if (got < 0 || sf_error(mFile) != SF_ERR_NO_ERROR) {
            error = std::string("read error: ") + sf_strerror(mFile);
            return -1;
        }
        if (got < wanted) {
            // The header promised more frames than the data holds.
            error = "truncated: the header announces " + std::to_string(mInfo.frames) + " frames, only " +
                    std::to_string(mRead + got) + " could be read";
            return -1;
        }
        mRead += got;
        return got;
    }

  private:
    SNDFILE* mFile;
    SF_INFO mInfo;
    std::int64_t mRead = 0;
};

// libsndfile shortens a file whose data chunk runs past the end of the file to what is there and notes it in
// its log as "data : <declared> (should be <present>)". Such a file has lost audio: report it rather than
// meter a part of it. A declared size of 0xFFFFFFFF (or near it) is the mark of a streamed file, not a loss.
bool truncatedData(SNDFILE* file, std::string& error) {
    char log[8192] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log - 1);
    const char* line = std::strstr(log, "\ndata : ");
    if (line == nullptr) return false;
    unsigned long long declared = 0, present = 0;
    if (std::sscanf(line, "\ndata : %llu (should be %llu)", &declared, &present) != 2) return false;
    if (present >= declared || declared >= 0xFFFFFF00ULL) return false;
    error = "truncated: the header announces " + std::to_string(declared) +
            " bytes of audio, the file holds " + std::to_string(present);
    return true;
}

}  // namespace

std::string formatProblem(int channels, int sampleRate) {
    if (channels < 1 || channels > kMaxChannels)
        return std::to_string(channels) + " channels; only 1 to " + std::to_string(kMaxChannels) +
               " channels can be metered";
    if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate)
        return "sample rate " + std::to_string(sampleRate) + " Hz is outside 8000 to 384000 Hz";
    return {};
}

std::unique_ptr<AudioSource> openAudioFile(const std::string& path, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "is a directory";
        return nullptr;
    }
    if (st.st_size == 0) {
        error = "empty file";
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = std::string("not a readable audio file: ") + sf_strerror(nullptr);
        return nullptr;
    }
    auto source = std::make_unique<SndFileSource>(file, info);
    if (truncatedData(file, error)) return nullptr;
    error = formatProblem(info.channels, info.samplerate);
    if (!error.empty()) return nullptr;
    if (info.frames <= 0) {
        error = "no audio frames";
        return nullptr;
    }
    return source;
}

}  // namespace quenlix::cli
