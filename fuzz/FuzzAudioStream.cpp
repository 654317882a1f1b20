// The command-line host's reading of standard input on arbitrary bytes: the bytes are read through the
// stream source (libsndfile over the forward-only virtual I/O, as from a pipe) and the audio to its end in
// host-sized blocks, as the metering loop does.
//
// A stream is either refused with a message or delivers frames within the accepted bounds (1 to 6 channels,
// 8000 to 384000 Hz) until it ends or fails with a message; its length is never claimed up front. The bytes
// sit in memory (memfd) read from its start, which the reader treats like a pipe: it never seeks the
// descriptor.
//
// Reading stops after kMaxFramesRead so one input stays quick.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cli/StreamSource.h"

namespace {

constexpr std::int64_t kBlockFrames = 1024;
constexpr std::int64_t kMaxFramesRead = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("quenlix-fuzz-stream", 0);
    if (fd < 0) fuzz::Fail("memfd_create failed");
    if (ftruncate(fd, 0) != 0) fuzz::Fail("ftruncate failed");
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) fuzz::Fail("pwrite failed");
    if (lseek(fd, 0, SEEK_SET) != 0) fuzz::Fail("lseek failed");

    std::string error;
    auto source = quenlix::cli::openAudioStream(fd, error);
    if (!source) {
        if (error.empty()) fuzz::Fail("a refused stream gave no reason");
        return 0;
    }
    const int channels = source->channels();
    if (channels < 1 || channels > quenlix::cli::kMaxChannels)
        fuzz::Fail("channel count outside the bounds", channels);
    if (source->sampleRate() < quenlix::cli::kMinSampleRate ||
        source->sampleRate() > quenlix::cli::kMaxSampleRate)
        fuzz::Fail("sample rate outside the bounds", source->sampleRate());
    if (source->frames() != quenlix::cli::kUnknownFrames)
        fuzz::Fail("a stream claims its length", 0, static_cast<double>(source->frames()));

    // Exactly one block of room, so a reader writing past what it was asked for is caught.
    std::vector<float> interleaved(static_cast<size_t>(kBlockFrames * channels));
    for (std::int64_t done = 0; done < kMaxFramesRead;) {
        const std::int64_t got = source->read(interleaved.data(), kBlockFrames, error);
        if (got < 0) {
            if (error.empty()) fuzz::Fail("a read failure gave no reason");
            return 0;
        }
        if (got > kBlockFrames) fuzz::Fail("read more frames than asked", 0, static_cast<double>(got));
        if (got == 0) break;
        done += got;
    }
    return 0;
}
