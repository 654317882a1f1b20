#include <gtest/gtest.h>

#include <cmath>

#include "tests/host/AdapterTestSupport.h"

namespace {

void FillRamp(Buffers* buffers, float start) {
    for (size_t c = 0; c < buffers->in.size(); ++c) {
        for (size_t s = 0; s < buffers->in[c].size(); ++s) {
            buffers->in[c][s] = start + 0.001f * static_cast<float>(s) + 0.1f * static_cast<float>(c);
        }
    }
}

TEST_F(AdapterTest, ProcessedBlocksRunThroughThePlugIn) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    Buffers buffers(2, 256);
    FillRamp(&buffers, 0.1f);
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 256);
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < 256; ++s) ASSERT_FLOAT_EQ(buffers.out[c][s], 2.0f * buffers.in[c][s]);
    }
    // The output parameter written in the block reached its host control.
    EXPECT_NEAR(instance->GetControlNumber(kOutLevel + 2), buffers.in[0][255], 1e-5);
}

TEST_F(AdapterTest, BypassedBlocksPassTheInputThroughUnmeasured) {
    auto instance = Make(2);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    instance->SetBypass(true);
    Buffers buffers(2, 128);
    FillRamp(&buffers, -0.3f);
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 128);
    EXPECT_EQ(buffers.out[0], buffers.in[0]);
    EXPECT_EQ(buffers.out[1], buffers.in[1]);
    EXPECT_EQ(plug->mBlocks, 0);

    instance->SetBypass(false);
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 128);
    EXPECT_EQ(plug->mBlocks, 1);
    EXPECT_FLOAT_EQ(buffers.out[1][5], 2.0f * buffers.in[1][5]);
}

TEST_F(AdapterTest, CallsLongerThanTheQuantumAreRenderedInPieces) {
    rtashost::InstanceConfig config;
    config.maxQuantum = 64;
    auto instance = Make(5, config);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    Buffers buffers(5, 1000);
    FillRamp(&buffers, 0.0f);
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 1000);
    EXPECT_LE(plug->mLargestBlock, 64);
    EXPECT_EQ(plug->mFramesProcessed, 1000);
    EXPECT_EQ(plug->mBlocks, 16);
    for (int c = 0; c < 5; ++c) {
        for (int s = 0; s < 1000; ++s)
            ASSERT_FLOAT_EQ(buffers.out[c][s], 2.0f * buffers.in[c][s]) << c << ":" << s;
    }

    instance->SetBypass(true);
    Buffers bypassed(5, 333);
    FillRamp(&bypassed, 0.5f);
    instance->Render(bypassed.inPtrs.data(), bypassed.outPtrs.data(), 333);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(bypassed.out[c], bypassed.in[c]);
}

TEST_F(AdapterTest, InsertChannelCountDecidesTheConnections) {
    auto instance = Make(4);
    ASSERT_TRUE(instance);
    TestPlug* plug = Plug(*instance);
    Buffers buffers(4, 32);
    instance->Render(buffers.inPtrs.data(), buffers.outPtrs.data(), 32);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(plug->IsInChannelConnected(c), c < 4) << c;
        EXPECT_EQ(plug->IsOutChannelConnected(c), c < 4) << c;
    }
    // A connected side-chain adds one input.
    Process(*instance)->ConnectSideChain();
    EXPECT_TRUE(plug->IsSideChainConnected());
    plug->SetIO(4, 4);
    EXPECT_TRUE(plug->IsInChannelConnected(4));
    EXPECT_FALSE(plug->IsInChannelConnected(5));
    Process(*instance)->DisconnectSideChain();
    plug->SetIO(4, 4);
    EXPECT_FALSE(plug->IsInChannelConnected(4));
}

}  // namespace
