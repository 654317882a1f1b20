// The hand-over queue between a producer and a consumer thread, as JACK's callback and the metering thread
// use it (also run under ThreadSanitizer).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "cli/LiveRing.h"

namespace quenlix::cli {
namespace {

TEST(LiveRingThreads, EveryFrameArrivesOnceAndInOrderOrIsCountedAsDropped) {
    constexpr int kWidth = 3;
    constexpr std::int64_t kPeriods = 20000;
    constexpr std::int64_t kPeriod = 64;
    static_assert(kPeriods * kPeriod * 4 < (1 << 24), "frame numbers must stay exact in a float");
    LiveRing ring(kWidth, 4096);
    std::thread producer([&] {
        std::vector<std::vector<float>> columns(kWidth, std::vector<float>(kPeriod));
        const float* pointers[kWidth];
        for (std::int64_t p = 0; p < kPeriods; ++p) {
            for (int k = 0; k < kWidth; ++k) {
                for (std::int64_t i = 0; i < kPeriod; ++i)
                    columns[k][i] = static_cast<float>((p * kPeriod + i) * 4 + k);
                pointers[k] = columns[k].data();
            }
            ring.push(pointers, kPeriod);
            if (p % 64 == 0) std::this_thread::yield();
        }
    });
    std::vector<float> out(512 * kWidth);
    std::int64_t received = 0;
    float last = -1.0f;
    bool ordered = true;
    bool framesWhole = true;
    const auto endOfProduction = [&] { return received + ring.droppedFrames() >= kPeriods * kPeriod; };
    while (!endOfProduction()) {
        const std::int64_t n = ring.pop(out.data(), 512);
        for (std::int64_t i = 0; i < n; ++i) {
            const float first = out[i * kWidth];
            for (int k = 1; k < kWidth; ++k)
                framesWhole &= out[i * kWidth + k] == first + static_cast<float>(k);
            // Frame numbers rise (dropped frames leave gaps); every value is exact in a float.
            ordered &= first > last;
            last = first;
        }
        received += n;
        if (n == 0) std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(framesWhole);
    EXPECT_EQ(received + ring.droppedFrames(), kPeriods * kPeriod);
}

}  // namespace
}  // namespace quenlix::cli
