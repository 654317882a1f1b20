// The plug-in under its real threads: instances created from several host threads at once, and audio
// blocks running while the editor's timer draws and the user clicks and the host automates.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "EditorPicture.h"

namespace {

TEST(Threads, InstancesCreatedConcurrentlyAreComplete) {
    std::vector<std::thread> threads;
    std::atomic<int> complete{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 3; ++i) {
                IPlugRTAS* plug = MakePlug();
                auto* quenlix = dynamic_cast<Quenlix*>(plug);
                if (quenlix && quenlix->NParams() == 19 && quenlix->GetEditor()->NControls() == 53 &&
                    quenlix->NPresets() == 3)
                    ++complete;
                delete plug;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(complete.load(), 12);
}

TEST(Threads, AudioRunsWhileTheEditorDrawsAndTheUserClicks) {
    TestQuenlix plug;
    PluginHost host(plug);
    plug.mTransportRunning = true;
    IGraphicsHeadless* editor = OpenEditor(plug);
    ASSERT_NE(editor, nullptr);

    std::atomic<bool> done{false};
    std::atomic<bool> passThroughIntact{true};
    std::thread audio([&] {
        for (int block = 0; block < 300; ++block) {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 512; ++i)
                    host.In(c)[i] = static_cast<float>(0.3 * std::sin(0.05 * (block * 512 + i) + c));
            host.Block(512);
            for (int c = 0; c < 2; ++c)
                if (std::memcmp(host.In(c).data(), host.Out(c).data(), 512 * sizeof(float)) != 0)
                    passThroughIntact = false;
        }
        done = true;
    });

    int round = 0;
    while (!done) {
        editor->Tick();
        if (round % 7 == 0) {
            editor->MouseDown(400 + 5, 150);  // LED meter of channel 1: resets the meters
            editor->MouseUp(400 + 5, 150);
        }
        if (round % 11 == 0) HostSetsParam(plug, Quenlix::kType, (round / 11) % 2);
        if (round % 13 == 0) HostSetsParam(plug, Quenlix::kRmsWindow, 100.0 + round % 500);
        ++round;
        std::this_thread::yield();
    }
    audio.join();
    TickUntilClean(editor);

    EXPECT_TRUE(passThroughIntact.load());
    EXPECT_GT(round, 0);
    EXPECT_FALSE(editor->IsMouseDown());
    EXPECT_GT(editor->ScreenUpdates(), 0);
}

}  // namespace
