#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "tests/host/AdapterTestSupport.h"

namespace {

// Host control changes on the main thread never interleave with a block on the audio thread:
// the plug-in's reaction writes two halves with a pause between, and no block sees them differ.
TEST_F(AdapterTest, ParameterChangesNeverInterleaveWithABlock) {
    rtashost::InstanceConfig config;
    config.maxQuantum = 64;
    auto instance = Make(2, config);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        Buffers buffers(2, 64);
        while (!stop) instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 64);
    });
    for (int i = 0; i < 300; ++i) instance->SetControlNumber(kGain + 2, -60.0 + 0.2 * i);
    stop = true;
    audio.join();
    EXPECT_GT(plug->mBlocks, 0);
    EXPECT_EQ(plug->mTornReads, 0);
}

// The settings chunk and host controls on the main thread while blocks run on the audio thread, which
// writes the output parameter every block: saving, restoring (with its refresh of every host
// control) and comparing chunks never read a parameter while a block writes it (run under
// ThreadSanitizer), a change never interleaves with a block, and the last restore's values reach
// both the plug-in and the host controls.
TEST_F(AdapterTest, ChunksAndControlsOnTheMainThreadWhileBlocksRun) {
    rtashost::InstanceConfig config;
    config.maxQuantum = 64;
    auto instance = Make(2, config);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    std::string error;
    std::vector<unsigned char> original;
    ASSERT_TRUE(instance->SaveChunk(&original, &error)) << error;

    std::atomic<bool> stop{false};
    std::thread audio([&] {
        Buffers buffers(2, 64);
        for (int block = 0; !stop; ++block) {
            // A different last sample each block, so the output parameter really changes.
            buffers.in[0][63] = static_cast<float>(block % 100) * 0.01f;
            instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 64);
        }
    });
    while (plug->mBlocks == 0) std::this_thread::yield();

    // Blocks run between the calls (the pauses let the audio thread take the mutex), so each call
    // meets a block's writes that no lock of its own has ordered.
    const auto letBlocksRun = [] { std::this_thread::sleep_for(std::chrono::microseconds(100)); };
    std::vector<unsigned char> chunk;
    for (int i = 0; i < 200; ++i) {
        instance->SetControlNumber(kGain + 2, -60.0 + 0.3 * i);
        ASSERT_TRUE(instance->SaveChunk(&chunk, &error)) << error;
        letBlocksRun();
        bool equal = false;
        EXPECT_EQ(instance->CompareChunk(chunk, &equal), kNoErr);
        letBlocksRun();
        EXPECT_EQ(instance->RestoreChunk(i % 2 ? original : chunk), kNoErr);
    }
    stop = true;
    audio.join();

    EXPECT_EQ(plug->mTornReads, 0);
    // The last restore was of the original chunk, saved with the gain at 0 dB.
    EXPECT_EQ(plug->GetParam(kGain)->Value(), 0.0);
    EXPECT_NEAR(instance->GetControlNumber(kGain + 2), 0.0, 0.01);
}

}  // namespace
