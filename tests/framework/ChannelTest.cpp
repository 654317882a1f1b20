#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/framework/TestPlug.h"

namespace {

// Host-side float buffers for a run of channels.
struct HostBuffers {
    HostBuffers(int nChannels, int nFrames, float start = 0.0f)
        : data(nChannels, std::vector<float>(nFrames)), ptrs(nChannels) {
        for (int c = 0; c < nChannels; ++c) {
            for (int s = 0; s < nFrames; ++s) data[c][s] = start + 100.0f * c + s;
            ptrs[c] = data[c].data();
        }
    }
    std::vector<std::vector<float>> data;
    std::vector<float*> ptrs;
};

class ChannelFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        plug.SetInputChannelConnections(0, 6, true);
        plug.SetOutputChannelConnections(0, 6, true);
        plug.SetBlockSize(8);
    }

    // Connects the first n inputs and outputs, like the adapter at the start of a render call.
    void SetIO(int nIn, int nOut) {
        plug.SetInputChannelConnections(0, nIn, true);
        plug.SetInputChannelConnections(nIn, 6 - nIn, false);
        plug.SetOutputChannelConnections(0, nOut, true);
        plug.SetOutputChannelConnections(nOut, 6 - nOut, false);
    }

    void Run(HostBuffers& in, HostBuffers& out, int nFrames, bool bypass = false) {
        plug.AttachInputBuffers(0, 6, in.ptrs.data(), nFrames);
        plug.AttachOutputBuffers(0, 6, out.ptrs.data());
        if (bypass)
            plug.PassThroughBuffers(0.0f, nFrames);
        else
            plug.ProcessBuffers(0.0f, nFrames);
    }

    TestPlug plug;
};

}  // namespace

// ---- Channel-I/O string ----

TEST(ChannelIO, ListOfPairsSizesTheChannelArraysByTheLargestCounts) {
    TestPlug plug(3, "1-1 2-2 4-4 5-5 6-6");
    EXPECT_EQ(plug.NChannelIO(), 5);
    EXPECT_EQ(plug.NInChannels(), 6);
    EXPECT_EQ(plug.NOutChannels(), 6);
    int in = 0, out = 0;
    ASSERT_TRUE(plug.GetChannelIO(2, &in, &out));
    EXPECT_EQ(in, 4);
    EXPECT_EQ(out, 4);
}

TEST(ChannelIO, AStringWithoutABlankIsOnePair) {
    TestPlug plug(3, "2-1");
    EXPECT_EQ(plug.NChannelIO(), 1);
    EXPECT_EQ(plug.NInChannels(), 2);
    EXPECT_EQ(plug.NOutChannels(), 1);
}

TEST(ChannelIO, UnreadCountsStayZeroAndHugeCountsAreCapped) {
    TestPlug odd(3, "0-2 x-1 3");
    EXPECT_EQ(odd.NChannelIO(), 3);
    EXPECT_EQ(odd.NInChannels(), 3);
    EXPECT_EQ(odd.NOutChannels(), 2);
    TestPlug huge(3, "99999999999999999999-1");
    EXPECT_EQ(huge.NInChannels(), IPlugBase::kMaxChannels);
    TestPlug none(3, nullptr);
    EXPECT_EQ(none.NInChannels(), 0);
}

// ---- Connections and attach ----

TEST_F(ChannelFlow, SkippedChannelsReadTheirZeroedScratch) {
    SetIO(2, 6);
    HostBuffers in(2, 8), out(6, 8, -1.0f);
    Run(in, out, 8);
    EXPECT_EQ(plug.InData()[1][3], in.data[1][3]);  // host buffer 2 feeds channel 2
    for (int c = 2; c < 6; ++c) EXPECT_EQ(plug.InData()[c][5], 0.0);
    EXPECT_EQ(out.data[1][7], in.data[1][7]);
    EXPECT_EQ(out.data[4][7], 0.0f);
}

TEST_F(ChannelFlow, ADisconnectedFirstChannelTakesNoHostBuffer) {
    plug.SetInputChannelConnections(0, 1, false);
    HostBuffers in(5, 8);
    plug.AttachInputBuffers(0, 6, in.ptrs.data(), 8);
    EXPECT_EQ(plug.InData()[1][2], in.data[0][2]);
    EXPECT_EQ(plug.InData()[0][2], 0.0);
}

TEST_F(ChannelFlow, ADisconnectedChannelKeepsItsLastBlockUntilCleared) {
    HostBuffers first(6, 8, 1.0f);
    HostBuffers out(6, 8);
    Run(first, out, 8);
    SetIO(1, 6);
    HostBuffers second(1, 8, 500.0f);
    Run(second, out, 8);
    EXPECT_EQ(plug.InData()[1][4], first.data[1][4]);  // stale samples still delivered
    plug.ZeroScratchBuffers();
    EXPECT_EQ(plug.InData()[1][4], 0.0);
}

TEST_F(ChannelFlow, OutOfRangeChannelIndicesAreClipped) {
    plug.SetInputChannelConnections(-3, 100, false);
    for (int c = 0; c < 6; ++c) EXPECT_FALSE(plug.IsInChannelConnected(c));
    plug.SetOutputChannelConnections(4, 0x7fffffff, false);
    EXPECT_TRUE(plug.IsOutChannelConnected(3));
    EXPECT_FALSE(plug.IsOutChannelConnected(5));
}

// ---- Block size ----

TEST_F(ChannelFlow, SameBlockSizeKeepsScratchNewSizeZeroesIt) {
    HostBuffers in(6, 8, 1.0f), out(6, 8);
    Run(in, out, 8);
    SetIO(0, 6);
    plug.SetBlockSize(8);
    EXPECT_EQ(plug.InData()[2][3], in.data[2][3]);
    plug.SetBlockSize(16);
    for (int s = 0; s < 16; ++s) EXPECT_EQ(plug.InData()[2][s], 0.0);  // also re-pointed after the resize
}

TEST_F(ChannelFlow, CallsLongerThanTheBlockRunInPieces) {
    plug.gain = 2.0;
    HostBuffers in(6, 21), out(6, 21, -7.0f);
    Run(in, out, 21);
    EXPECT_EQ(plug.blockSizes, (std::vector<int>{8, 8, 5}));
    for (int c = 0; c < 6; ++c)
        for (int s = 0; s < 21; ++s) ASSERT_EQ(out.data[c][s], 2.0f * in.data[c][s]) << c << ":" << s;
}

TEST_F(ChannelFlow, FramesBeyondTheAttachedCountReadAsSilence) {
    HostBuffers in(6, 10), out(6, 12, -7.0f);
    plug.AttachInputBuffers(0, 6, in.ptrs.data(), 10);
    plug.AttachOutputBuffers(0, 6, out.ptrs.data());
    plug.ProcessBuffers(0.0f, 12);
    EXPECT_EQ(out.data[0][9], in.data[0][9]);
    EXPECT_EQ(out.data[0][10], 0.0f);
    EXPECT_EQ(out.data[0][11], 0.0f);
}

TEST_F(ChannelFlow, ALaterCallWithoutInputsDoesNotReadTheLastCallsBuffers) {
    {
        HostBuffers in(6, 20), out(6, 20);
        Run(in, out, 20);
    }  // the host's buffers are gone
    HostBuffers out(6, 20, -7.0f);
    plug.AttachOutputBuffers(0, 6, out.ptrs.data());
    plug.ProcessBuffers(0.0f, 20);  // AddressSanitizer reports any read of the freed buffers
    // Unattached connected inputs deliver what their scratch holds: frames 16..19 of the last call.
    EXPECT_EQ(out.data[0][19], 19.0f);
}

// A host that attaches its channels in several calls (one port at a time, or in groups) must
// get every channel's audio, in every piece of a call longer than the block size.
TEST_F(ChannelFlow, ChannelsAttachedInSeveralRangesAllFlowInEveryPiece) {
    struct Split {
        const char* name;
        std::vector<int> inRanges, outRanges;  // widths of consecutive attach calls
    };
    const Split splits[] = {
        {"inputs in two", {3, 3}, {6}},
        {"outputs in two", {6}, {2, 4}},
        {"both one by one", {1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}},
        {"both reversed", {4, 2}, {1, 5}},
    };
    for (const Split& split : splits) {
        TestPlug p;
        p.SetInputChannelConnections(0, 6, true);
        p.SetOutputChannelConnections(0, 6, true);
        p.SetBlockSize(8);
        p.gain = 2.0;
        for (int round = 0; round < 2; ++round) {  // the second round must not see the first's buffers
            HostBuffers in(6, 21, 1000.0f * round), out(6, 21, -7.0f);
            // "both reversed" attaches its ranges from the last channel down.
            const bool reversed = std::string(split.name) == "both reversed";
            int idx = reversed ? 6 : 0;
            for (int w : split.inRanges) {
                if (reversed) idx -= w;
                p.AttachInputBuffers(idx, w, in.ptrs.data() + idx, 21);
                if (!reversed) idx += w;
            }
            idx = reversed ? 6 : 0;
            for (int w : split.outRanges) {
                if (reversed) idx -= w;
                p.AttachOutputBuffers(idx, w, out.ptrs.data() + idx);
                if (!reversed) idx += w;
            }
            p.ProcessBuffers(0.0f, 21);
            for (int c = 0; c < 6; ++c)
                for (int s = 0; s < 21; ++s)
                    ASSERT_EQ(out.data[c][s], 2.0f * in.data[c][s])
                        << split.name << " " << round << " " << c << ":" << s;
        }
    }
}

TEST_F(ChannelFlow, EachAttachedRangeKeepsItsOwnFrameCount) {
    HostBuffers in(6, 20), out(6, 20, -7.0f);
    plug.AttachInputBuffers(0, 3, in.ptrs.data(), 20);
    plug.AttachInputBuffers(3, 3, in.ptrs.data() + 3, 10);
    plug.AttachOutputBuffers(0, 6, out.ptrs.data());
    plug.PassThroughBuffers(0.0f, 20);
    EXPECT_EQ(out.data[0][19], in.data[0][19]);
    EXPECT_EQ(out.data[3][9], in.data[3][9]);
    EXPECT_EQ(out.data[3][10], 0.0f);  // beyond what the host gave this channel: silence
    EXPECT_EQ(out.data[5][19], 0.0f);
}

TEST_F(ChannelFlow, ACallEndsTheAttachmentOfEveryOutput) {
    HostBuffers in(6, 8), first(6, 8, -7.0f);
    Run(in, first, 8);
    // The next call attaches only outputs 0 and 1; the first call's buffers of outputs 2..5 may be
    // gone and must not be written.
    HostBuffers second(2, 8, -9.0f);
    plug.AttachInputBuffers(0, 6, in.ptrs.data(), 8);
    plug.AttachOutputBuffers(0, 2, second.ptrs.data());
    for (int c = 2; c < 6; ++c) first.data[c].assign(8, -3.0f);
    plug.ProcessBuffers(0.0f, 8);
    EXPECT_EQ(second.data[1][4], in.data[1][4]);
    for (int c = 2; c < 6; ++c) EXPECT_EQ(first.data[c][4], -3.0f) << c;
}

TEST_F(ChannelFlow, NoBlockSizeOrNoFramesDoesNothing) {
    HostBuffers in(6, 8), out(6, 8, -7.0f);
    Run(in, out, -5);
    Run(in, out, 0);
    TestPlug fresh;
    fresh.SetInputChannelConnections(0, 6, true);
    fresh.SetOutputChannelConnections(0, 6, true);
    fresh.AttachInputBuffers(0, 6, in.ptrs.data(), 8);
    fresh.AttachOutputBuffers(0, 6, out.ptrs.data());
    fresh.ProcessBuffers(0.0f, 8);
    fresh.PassThroughBuffers(0.0f, 8);
    fresh.PassThroughBuffers(0.0, 8);
    EXPECT_TRUE(plug.blockSizes.empty());
    EXPECT_TRUE(fresh.blockSizes.empty());
    EXPECT_EQ(out.data[0][0], -7.0f);
}

// ---- Bypass ----

TEST_F(ChannelFlow, BypassWithoutLatencyCopiesAndSilencesUnmatchedOutputs) {
    TestPlug wide(3, "2-4");
    wide.SetInputChannelConnections(0, 2, true);
    wide.SetOutputChannelConnections(0, 4, true);
    wide.SetBlockSize(8);
    HostBuffers in(2, 8), out(4, 8, -7.0f);
    wide.AttachInputBuffers(0, 2, in.ptrs.data(), 8);
    wide.AttachOutputBuffers(0, 4, out.ptrs.data());
    for (int s = 0; s < 8; ++s) wide.OutData()[3][s] = 5.0;  // left over from an earlier block
    wide.PassThroughBuffers(0.0f, 8);
    EXPECT_EQ(out.data[1][6], in.data[1][6]);
    EXPECT_EQ(out.data[3][6], 0.0f);
    EXPECT_TRUE(wide.blockSizes.empty());  // bypass does not process
}

TEST(Bypass, LatencyDelaysByExactlyLSamplesAcrossPieces) {
    const int L = 5;
    TestPlug plug(3, "2-2", 3, L);
    plug.MakeDelayLine();
    plug.SetInputChannelConnections(0, 2, true);
    plug.SetOutputChannelConnections(0, 2, true);
    plug.SetBlockSize(4);
    HostBuffers in(2, 23, 1.0f), out(2, 23, -7.0f);
    plug.AttachInputBuffers(0, 2, in.ptrs.data(), 23);
    plug.AttachOutputBuffers(0, 2, out.ptrs.data());
    plug.PassThroughBuffers(0.0f, 23);
    for (int c = 0; c < 2; ++c) {
        for (int s = 0; s < L; ++s) EXPECT_EQ(out.data[c][s], 0.0f);
        for (int s = L; s < 23; ++s) ASSERT_EQ(out.data[c][s], in.data[c][s - L]) << c << ":" << s;
    }
    // Changing the latency clears the line.
    plug.SetLatency(2);
    HostBuffers next(2, 4, 1000.0f);
    plug.AttachInputBuffers(0, 2, next.ptrs.data(), 4);
    plug.AttachOutputBuffers(0, 2, out.ptrs.data());
    plug.PassThroughBuffers(0.0f, 4);
    EXPECT_EQ(out.data[0][1], 0.0f);
    EXPECT_EQ(out.data[0][2], next.data[0][0]);
}
