#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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

}  // namespace
