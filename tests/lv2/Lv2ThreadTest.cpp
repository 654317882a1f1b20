// The LV2 plug-in under a host's real threads: its audio thread runs blocks while the editor, on the
// UI thread, changes settings, opens and dismisses menus and resets the meters. run() must never wait
// for the editor; what the editor asks for reaches the measurements at the start of the next block.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "editor/HeadlessResponder.h"
#include "editor/IControl.h"
#include "editor/IGraphicsHeadless.h"
#include "editor/WindowSystem.h"
#include "plugin/Quenlix.h"

namespace {

// Control indices of the editor's layout.
constexpr int kTypeSelector = 15;
constexpr int kSyncSelector = 16;
constexpr int kRmsChannelSelector = 17;
constexpr int kRmsModeSelector = 18;
constexpr int kWindowField = 19;
constexpr int kEbuChannelSelector = 20;
constexpr int kFirstLedMeter = 34;
constexpr int kLedMeterPitch = 3;

// A stereo instance at `rate` as an LV2 host makes one (no features), every port connected, enabled.
class StereoInstance {
  public:
    explicit StereoInstance(double rate, int frames) : mIn(2, std::vector<float>(frames)), mOut(mIn) {
        SetWindowSystem(EWindowSystem::kHeadless);
        mPlug.reset(dynamic_cast<Quenlix*>(MakePlug()));
        const LV2_Feature* features[] = {nullptr};
        mReady = mPlug && mPlug->Instantiate(2, 2, rate, "", features);
        if (!mReady) return;
        const lv2::PortLayout& layout = mPlug->GetPortLayout();
        mControls.assign(static_cast<size_t>(layout.nParams), NAN);
        for (int i = 0; i < layout.nParams; ++i) mPlug->ConnectPort(static_cast<uint32_t>(i), &mControls[i]);
        mPlug->ConnectPort(static_cast<uint32_t>(layout.ResetPort()), &mReset);
        mPlug->ConnectPort(static_cast<uint32_t>(layout.EnabledPort()), &mEnabled);
        for (int c = 0; c < 2; ++c) {
            mPlug->ConnectPort(static_cast<uint32_t>(layout.AudioInPort(c)), mIn[c].data());
            mPlug->ConnectPort(static_cast<uint32_t>(layout.AudioOutPort(0) + c), mOut[c].data());
        }
        mPlug->Activate();
    }

    bool Ready() const { return mReady; }
    Quenlix& Plug() { return *mPlug; }
    IGraphicsHeadless* Editor() { return dynamic_cast<IGraphicsHeadless*>(mPlug->GetEditor()); }
    // One block of a sine at `amplitude`, continuing the last.
    void Run(double amplitude) {
        const int n = static_cast<int>(mIn[0].size());
        for (int i = 0; i < n; ++i, ++mFrame)
            for (auto& c : mIn)
                c[i] = static_cast<float>(amplitude * std::sin(0.01 * static_cast<double>(mFrame)));
        mPlug->Run(static_cast<uint32_t>(n));
    }
    float Output(int paramIdx) const { return mControls[paramIdx]; }

  private:
    std::unique_ptr<Quenlix> mPlug;
    bool mReady = false;
    std::vector<float> mControls;
    float mReset = 0.0f, mEnabled = 1.0f;
    std::vector<std::vector<float>> mIn, mOut;
    long mFrame = 0;
};

void Click(IGraphics* editor, int controlIdx) {
    const IRECT* r = editor->GetControl(controlIdx)->GetRECT();
    IMouseMod left(true);
    editor->OnMouseDown((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
    editor->OnMouseUp((r->L + r->R) / 2, (r->T + r->B) / 2, &left);
}

// The editor thread changes settings through the menus and the window field, dismisses menus and
// resets the meters as fast as it can while the audio thread runs 64-frame blocks at 384 kHz. The
// plug-in mutex counts every wait: the audio thread must never have waited. The block times are
// printed for the record; speed is the benchmark's business, and a loaded machine may stretch them.
TEST(Lv2Threads, TheAudioThreadNeverWaitsForTheEditor) {
    constexpr double kRate = 384000.0;
    constexpr int kFrames = 64;
    StereoInstance instance(kRate, kFrames);
    ASSERT_TRUE(instance.Ready());
    IGraphicsHeadless* editor = instance.Editor();
    ASSERT_NE(editor, nullptr);
    editor->OpenWindow(nullptr);
    ScriptedResponder responder;
    editor->SetResponder(&responder);
    const WDL_Mutex::WaitStats before = instance.Plug().GetMutex()->GetWaitStats();

    using Clock = std::chrono::steady_clock;
    std::atomic<bool> stop{false};
    long blocks = 0;
    double totalUs = 0.0, worstUs = 0.0;
    std::thread audio([&] {
        while (!stop.load()) {
            const auto start = Clock::now();
            instance.Run(0.3);
            const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
            totalUs += us;
            worstUs = std::max(worstUs, us);
            ++blocks;
        }
    });

    const int selectors[] = {kTypeSelector, kSyncSelector, kRmsModeSelector, kRmsChannelSelector,
                             kEbuChannelSelector};
    for (int round = 0; round < 400; ++round) {
        responder.QueueMenuChoice({round % 2});  // a change on every other visit, the entry in force else
        Click(editor, selectors[round % 5]);
        Click(editor, selectors[(round + 1) % 5]);  // nothing queued: the menu is dismissed
        editor->GetControl(kWindowField)->SetValueFromUserInput(0.1 * (round % 10));
        Click(editor, kFirstLedMeter + kLedMeterPitch * (round % 2));  // resets the meters
        editor->Tick();
    }
    stop = true;
    audio.join();

    const WDL_Mutex::WaitStats after = instance.Plug().GetMutex()->GetWaitStats();
    std::printf(
        "audio blocks %ld (period %.1f us): mean %.2f us, worst %.1f us; mutex waits %llu, %.1f us in all, "
        "worst %.1f us\n",
        blocks, kFrames / kRate * 1e6, blocks ? totalUs / static_cast<double>(blocks) : 0.0, worstUs,
        static_cast<unsigned long long>(after.waits - before.waits),
        static_cast<double>(after.totalNs - before.totalNs) / 1000.0,
        static_cast<double>(after.worstNs) / 1000.0);
    EXPECT_GT(blocks, 0);
    EXPECT_EQ(after.waits - before.waits, 0u) << "a thread waited for the plug-in mutex";
    EXPECT_FALSE(editor->IsMouseDown());
}

// What the editor asks for is in force from the next block on: a type chosen in the menu measures
// with that type's engine, and a press on an LED meter starts the measurements afresh.
TEST(Lv2Threads, TheEditorsRequestsReachTheNextBlock) {
    StereoInstance instance(48000.0, 256);
    ASSERT_TRUE(instance.Ready());
    IGraphicsHeadless* editor = instance.Editor();
    ASSERT_NE(editor, nullptr);
    editor->OpenWindow(nullptr);
    ScriptedResponder responder;
    editor->SetResponder(&responder);

    responder.QueueMenuChoice({1});  // EBU R128
    Click(editor, kTypeSelector);
    EXPECT_EQ(instance.Plug().GetParam(Quenlix::kType)->Int(), 1);
    for (int i = 0; i < 400; ++i) instance.Run(0.5);  // about 2 s
    EXPECT_GT(instance.Output(Quenlix::kOutEbuMl), -30.0f) << "the EBU engine did not measure";
    EXPECT_GT(instance.Output(Quenlix::kOutEbuIl), -30.0f);

    Click(editor, kFirstLedMeter);
    for (int i = 0; i < 40; ++i) instance.Run(0.0);  // 0.2 s of silence after the reset
    EXPECT_LT(instance.Output(Quenlix::kOutEbuIl), -59.0f) << "the press on the meter reset nothing";
}

}  // namespace
