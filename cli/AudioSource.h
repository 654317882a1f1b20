// A programme to be metered: a stream of float frames with a known channel count, rate and length.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quenlix::cli {

// Bounds the command-line host accepts; the plug-in takes at most six channels.
constexpr int kMaxChannels = 6;
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 384000;
// The frame count of a stream whose length is known only at its end.
constexpr std::int64_t kUnknownFrames = -1;

class AudioSource {
  public:
    virtual ~AudioSource() = default;
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    virtual std::int64_t frames() const = 0;  // or kUnknownFrames

    // Reads up to `maxFrames` interleaved frames into `interleaved` (room for maxFrames * channels() floats).
    // Returns the frame count read: less than asked only at the end. On a read failure returns -1 and sets
    // `error`.
    virtual std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string& error) = 0;

    // Samples read so far that were NaN or infinite (passed on unchanged; the plug-in meters them as
    // silence).
    virtual std::int64_t nonFiniteSamples() const { return 0; }
    // Whether a mono programme is presented as two identical channels.
    virtual bool dualMono() const { return false; }
};

// Why a programme of `channels` channels at `sampleRate` Hz cannot be metered (one line), or empty.
std::string formatProblem(int channels, int sampleRate);

// Opens an audio file with libsndfile and checks it against the bounds above. On failure returns null and
// sets `error` to one line naming the reason (the caller adds the file name).
std::unique_ptr<AudioSource> openAudioFile(const std::string& path, std::string& error);

}  // namespace quenlix::cli
