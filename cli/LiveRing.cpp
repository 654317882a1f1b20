#include "cli/LiveRing.h"

#include <algorithm>

namespace quenlix::cli {

static_assert(std::atomic<std::int64_t>::is_always_lock_free, "the audio thread needs lock-free counters");

LiveRing::LiveRing(int width, std::int64_t capacityFrames) : mWidth(std::max(width, 1)) {
    std::int64_t frames = 1;
    while (frames < capacityFrames) frames <<= 1;
    mMask = frames - 1;
    // Zero-filled here, so the audio thread never first-touches a page.
    mValues.assign(static_cast<std::size_t>(frames * mWidth), 0.0f);
}

std::int64_t LiveRing::push(const float* const* columns, std::int64_t frames) noexcept {
    const std::int64_t written = mWritten.load(std::memory_order_relaxed);
    const std::int64_t room = mMask + 1 - (written - mRead.load(std::memory_order_acquire));
    const std::int64_t kept = std::min(frames, room);
    for (std::int64_t i = 0; i < kept; ++i) {
        float* frame = mValues.data() + ((written + i) & mMask) * mWidth;
        for (int k = 0; k < mWidth; ++k) frame[k] = columns[k][i];
    }
    mWritten.store(written + kept, std::memory_order_release);
    if (kept < frames) mDropped.fetch_add(frames - kept, std::memory_order_relaxed);
    return kept;
}

std::int64_t LiveRing::pop(float* out, std::int64_t maxFrames) noexcept {
    const std::int64_t read = mRead.load(std::memory_order_relaxed);
    const std::int64_t moved = std::min(maxFrames, mWritten.load(std::memory_order_acquire) - read);
    for (std::int64_t i = 0; i < moved; ++i) {
        const float* frame = mValues.data() + ((read + i) & mMask) * mWidth;
        std::copy(frame, frame + mWidth, out + i * mWidth);
    }
    mRead.store(read + moved, std::memory_order_release);
    return moved;
}

std::int64_t LiveRing::available() const noexcept {
    return mWritten.load(std::memory_order_acquire) - mRead.load(std::memory_order_acquire);
}

}  // namespace quenlix::cli
