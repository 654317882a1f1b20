// The hand-over of a live feed from JACK's process callback to the metering thread: a single-producer,
// single-consumer queue of interleaved frames of a fixed width, allocated (and its pages touched) when made.
// Neither side allocates, locks or waits; a frame that finds the queue full is dropped and counted, so a
// stalled reader never holds the callback up.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace quenlix::cli {

class LiveRing {
  public:
    // `width` values per frame (>= 1); room for at least `capacityFrames` frames (rounded up to a power
    // of two). Main thread, before the producer starts.
    LiveRing(int width, std::int64_t capacityFrames);

    int width() const { return mWidth; }
    std::int64_t capacityFrames() const { return mMask + 1; }

    // Producer (the audio thread): appends `frames` frames, value k of each from `columns[k]` (one buffer
    // per value, `frames` long). Frames beyond the free room are dropped and counted. Returns those kept.
    std::int64_t push(const float* const* columns, std::int64_t frames) noexcept;

    // Consumer: moves up to `maxFrames` frames, interleaved, into `out` (room for maxFrames * width()
    // values). Returns the frames moved.
    std::int64_t pop(float* out, std::int64_t maxFrames) noexcept;

    // Frames waiting for the consumer. Either side.
    std::int64_t available() const noexcept;
    // Frames dropped for want of room since the queue was made. Either side.
    std::int64_t droppedFrames() const noexcept { return mDropped.load(std::memory_order_relaxed); }

  private:
    int mWidth;
    std::int64_t mMask;
    std::vector<float> mValues;
    // Frames ever written and read; their difference is the fill. Each is written by one side only.
    std::atomic<std::int64_t> mWritten{0};
    std::atomic<std::int64_t> mRead{0};
    std::atomic<std::int64_t> mDropped{0};
};

}  // namespace quenlix::cli
