// The command-line host's audio file reading on arbitrary bytes: the bytes become a file, which is
// opened with openAudioFile and read to its end in host-sized blocks, as the metering loop does.
//
// A file is either refused with a message or delivers exactly the frames it announces within the
// accepted bounds (1 to 6 channels, 8000 to 384000 Hz); a read failure comes with a message. The
// file lives in memory (memfd), reached by its /proc path. libsndfile itself is not instrumented:
// the fuzzer is guided by the host's code and sees libsndfile's faults only through the sanitizers'
// checks of memory it hands back.
//
// Decoders can expand a few bytes into very many frames; reading stops after kMaxFramesRead so one
// input stays quick (the frames beyond it are read the same way).

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cli/AudioSource.h"

namespace {

constexpr std::int64_t kBlockFrames = 1024;
constexpr std::int64_t kMaxFramesRead = 1 << 20;

struct MemoryFile {
    MemoryFile() {
        fd = memfd_create("quenlix-fuzz-audio", 0);
        if (fd < 0) fuzz::Fail("memfd_create failed");
        path = "/proc/self/fd/" + std::to_string(fd);
    }
    int fd;
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile* file = new MemoryFile;
    if (ftruncate(file->fd, 0) != 0) fuzz::Fail("ftruncate failed");
    if (size > 0 && pwrite(file->fd, data, size, 0) != static_cast<ssize_t>(size))
        fuzz::Fail("pwrite failed");

    std::string error;
    auto source = quenlix::cli::openAudioFile(file->path, error);
    if (!source) {
        if (error.empty()) fuzz::Fail("a refused file gave no reason");
        return 0;
    }
    const int channels = source->channels();
    if (channels < 1 || channels > quenlix::cli::kMaxChannels)
        fuzz::Fail("channel count outside the bounds", channels);
    if (source->sampleRate() < quenlix::cli::kMinSampleRate ||
        source->sampleRate() > quenlix::cli::kMaxSampleRate)
        fuzz::Fail("sample rate outside the bounds", source->sampleRate());
    if (source->frames() <= 0)
        fuzz::Fail("an accepted file announces no frames", 0, static_cast<double>(source->frames()));

    // Exactly one block of room, so a reader writing past what it was asked for is caught.
    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames * channels));
    std::int64_t done = 0;
    while (done < kMaxFramesRead) {
        const std::int64_t got = source->read(interleaved.data(), kBlockFrames, error);
        if (got < 0) {
            if (error.empty()) fuzz::Fail("a read failure gave no reason");
            return 0;
        }
        if (got > kBlockFrames) fuzz::Fail("read more frames than asked", 0, static_cast<double>(got));
        if (got == 0) break;
        done += got;
        if (got < kBlockFrames && done < source->frames())
            fuzz::Fail("a short read before the end", 0, static_cast<double>(done));
    }
    if (done < kMaxFramesRead && done != source->frames())
        fuzz::Fail("frames read differ from the frames announced", 0, static_cast<double>(done));
    return 0;
}
