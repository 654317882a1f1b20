// The plug-in under its real threads: instances created from several host threads at once, and audio
// blocks running while the editor's timer draws and the user clicks and the host automates.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "EditorPicture.h"
#include "editor/HeadlessResponder.h"

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

// The host's side of a setting changed in the editor, as a host whose write and touch functions wait
// for its audio thread (to hand the value over at a block boundary): each call returns once the audio
// thread has completed a further block. A call that waits in vain for two seconds counts as a
// deadlock and gives up, so the test fails instead of hanging. The output values the audio thread
// reports from inside its block go to the host's audio side and wait for nothing.
class WaitingHostQuenlix : public TestQuenlix {
  public:
    void BeginInformHostOfParamChange(int) override { WaitForABlock(); }
    void InformHostOfParamChange(int paramIdx, double value) override {
        // Only the editor's reports are recorded: the record is no place for two threads at once.
        if (std::this_thread::get_id() != mEditorThread) return;
        TestQuenlix::InformHostOfParamChange(paramIdx, value);
        WaitForABlock();
    }
    void EndInformHostOfParamChange(int) override { WaitForABlock(); }

    const std::thread::id mEditorThread = std::this_thread::get_id();
    std::atomic<long> mBlocksDone{0};
    std::atomic<bool> mAudioStopped{false};
    int mHostCalls = 0;
    int mDeadlocks = 0;

  private:
    void WaitForABlock() {
        if (std::this_thread::get_id() != mEditorThread) return;
        ++mHostCalls;
        const long before = mBlocksDone.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (mBlocksDone.load() == before && !mAudioStopped.load()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ++mDeadlocks;
                return;
            }
            std::this_thread::yield();
        }
    }
};

// An editor thread changes settings through the menus and the window field, dismisses menus and resets
// the meters as fast as it can while the audio thread runs 64-frame blocks at 384 kHz, and every call
// that tells the host waits for the audio thread's next block: the plug-in never holds its mutex across
// such a call, so nothing deadlocks. How often and how long the audio thread waited for the mutex is
// printed, not judged: speed is the benchmark's business.
TEST(Threads, HostCallsOfTheEditorThatWaitForTheAudioThreadNeverDeadlock) {
    WaitingHostQuenlix plug;
    PluginHost host(plug, 2, 64);
    host.SetSampleRateAndReset(384000.0);
    IGraphicsHeadless* editor = OpenEditor(plug);
    ASSERT_NE(editor, nullptr);
    ScriptedResponder responder;
    editor->SetResponder(&responder);

    using Clock = std::chrono::steady_clock;
    std::atomic<bool> stop{false};
    long blocks = 0, waits = 0;
    double waitedUs = 0.0, worstWaitUs = 0.0, worstBlockUs = 0.0;
    std::thread audio([&] {
        for (long block = 0; !stop.load(); ++block) {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 64; ++i)
                    host.In(c)[i] =
                        static_cast<float>(0.3 * std::sin(0.01 * static_cast<double>(block * 64 + i)));
            const auto start = Clock::now();
            plug.GetMutex()->Enter();
            const auto locked = Clock::now();
            host.Block(64);  // enters the (recursive) mutex again without waiting
            plug.GetMutex()->Leave();
            const auto end = Clock::now();
            const double waitUs = std::chrono::duration<double, std::micro>(locked - start).count();
            // Taking a free mutex costs well under a microsecond; longer is a wait for the editor.
            if (waitUs > 1.0) {
                ++waits;
                waitedUs += waitUs;
            }
            worstWaitUs = std::max(worstWaitUs, waitUs);
            worstBlockUs =
                std::max(worstBlockUs, std::chrono::duration<double, std::micro>(end - start).count());
            ++blocks;
            plug.mBlocksDone.store(blocks);
        }
        plug.mAudioStopped.store(true);
    });

    const auto click = [&](int controlIdx) {
        const IRECT* r = plug.GetEditor()->GetControl(controlIdx)->GetRECT();
        IMouseMod left(true);
        plug.GetEditor()->OnMouseDown((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
        plug.GetEditor()->OnMouseUp((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
    };
    const int selectors[] = {layout::kTypeSelector, layout::kSyncSelector, layout::kRmsModeSelector,
                             layout::kRmsChannelSelector, layout::kEbuChannelSelector};
    for (int round = 0; round < 200 && plug.mDeadlocks == 0; ++round) {
        responder.QueueMenuChoice({round % 2});  // a change on every other visit, the entry in force else
        click(selectors[round % 5]);
        click(selectors[(round + 1) % 5]);  // nothing queued: the menu is dismissed
        plug.GetEditor()->GetControl(layout::kWindowField)->SetValueFromUserInput(0.1 * (round % 10));
        click(layout::LedMeter(round % 2));  // resets the meters
        editor->Tick();
    }
    stop = true;
    audio.join();

    std::printf(
        "editor host calls %d; audio blocks %ld (period %.1f us), %ld waited for the mutex, "
        "%.1f us in all, worst wait %.1f us, worst block %.1f us\n",
        plug.mHostCalls, blocks, 64.0 / 384000.0 * 1e6, waits, waitedUs, worstWaitUs, worstBlockUs);
    EXPECT_EQ(plug.mDeadlocks, 0);
    EXPECT_GT(plug.mInformCount, 100);
    EXPECT_FALSE(editor->IsMouseDown());
}

}  // namespace
