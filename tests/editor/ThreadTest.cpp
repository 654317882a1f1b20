// The plug-in side feeding meter values and read-out texts at full speed while the UI thread ticks and
// draws: no torn text, no data race (run under ThreadSanitizer), and no change lost between a draw and
// the clean that follows it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "EditorTestUtil.h"
#include "TestPlug.h"

namespace {

// A read-out that checks every text it is about to draw: apart from its initial "-inf", the writer only
// ever stores runs of one repeated character, or "final".
class CheckingReadout : public ITextControl {
  public:
    using ITextControl::ITextControl;
    bool Draw(IGraphics* g) override {
        const char* text = GetTextForDraw();
        mLastDrawn = text;
        if (mLastDrawn != "final" && mLastDrawn != "-inf") {
            for (char c : mLastDrawn)
                if (c != mLastDrawn[0]) ++mTorn;
        }
        ++mDraws;
        return ITextControl::Draw(g);
    }
    std::string mLastDrawn;
    int mTorn = 0;
    int mDraws = 0;
};

std::string RunOf(int i) {
    return std::string(static_cast<size_t>(i % 23 + 1), static_cast<char>('a' + i % 26));
}

}  // namespace

TEST(EditorThreadTest, PlugSideFeedsWhileTheUIThreadDraws) {
    constexpr int kMeters = 6;
    TestPlug plug;
    auto* g = new IGraphicsHeadless(&plug, 400, 100);
    g->AttachPanelBackground(&COLOR_BLACK);
    auto strip = MakeStrip(73, 4, 40, true);
    IBitmap handle = HandleFor(strip.get(), 73, true);
    IText style(10, &COLOR_WHITE);
    int meters[kMeters], readouts[kMeters];
    std::vector<ProbeControl*> probes;
    std::vector<CheckingReadout*> texts;
    for (int k = 0; k < kMeters; ++k) {
        meters[k] = g->AttachControl(new IBitmapControl(&plug, 10 + 60 * k, 5, -1, &handle));
        auto* probe = new ProbeControl(&plug, IRECT(10 + 60 * k, 50, 20 + 60 * k, 60));
        probes.push_back(probe);
        g->AttachControl(probe);
        auto* text = new CheckingReadout(&plug, IRECT(10 + 60 * k, 70, 60 + 60 * k, 90), &style, "-inf");
        texts.push_back(text);
        readouts[k] = g->AttachControl(text);
    }
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);

    std::atomic<bool> done{false};
    std::thread feeder([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        for (int i = 0; i < 200000 && std::chrono::steady_clock::now() < until; ++i) {
            // As the processing driver does: everything under the plug-in mutex.
            WDL_MutexLock lock(plug.GetMutex());
            for (int k = 0; k < kMeters; ++k) {
                g->SetControlFromPlug(meters[k], (i % 73) / 72.0);
                g->SetControlFromPlug(meters[k] + 1, (i % 100) / 100.0);
                g->SetTextFromPlug(readouts[k], RunOf(i + k).c_str());
            }
        }
        WDL_MutexLock lock(plug.GetMutex());
        for (int k = 0; k < kMeters; ++k) {
            g->SetControlFromPlug(meters[k] + 1, 0.123);
            g->SetTextFromPlug(readouts[k], "final");
        }
        done = true;
    });

    int ticks = 0;
    while (!done) {
        g->Tick();
        ++ticks;
    }
    feeder.join();
    for (int i = 0; i < 3; ++i) g->Tick();

    EXPECT_GT(ticks, 0);
    for (int k = 0; k < kMeters; ++k) {
        EXPECT_EQ(texts[k]->mTorn, 0) << k;
        EXPECT_GT(texts[k]->mDraws, 2) << k;  // the two threads really overlapped
        EXPECT_EQ(texts[k]->mLastDrawn, "final") << k;
        EXPECT_DOUBLE_EQ(probes[k]->mDrawnValue, 0.123) << k;
    }
    IRECT rest;
    EXPECT_FALSE(g->IsDirty(&rest));
}

TEST(EditorThreadTest, HidingFromThePlugSideIsNeverLost) {
    TestPlug plug;
    auto* g = new IGraphicsHeadless(&plug, 100, 100);
    g->AttachPanelBackground(&COLOR_BLACK);
    auto* probe = new ProbeControl(&plug, IRECT(10, 10, 20, 20), TestPlug::kGain);
    g->AttachControl(probe);
    plug.AttachGraphics(g);
    g->OpenWindow(nullptr);

    std::atomic<bool> done{false};
    std::thread feeder([&] {
        for (int i = 0; i < 20000; ++i) {
            WDL_MutexLock lock(plug.GetMutex());
            g->HideControl(TestPlug::kGain, i % 2 == 0);
            g->SetParameterFromPlug(TestPlug::kGain, (i % 50) / 50.0, true);
        }
        WDL_MutexLock lock(plug.GetMutex());
        g->HideControl(TestPlug::kGain, false);
        g->SetParameterFromPlug(TestPlug::kGain, 0.75, true);
        done = true;
    });
    while (!done) g->Tick();
    feeder.join();
    for (int i = 0; i < 3; ++i) g->Tick();
    // 0.75 is fed only after the final show, so drawing it proves the show was not lost.
    EXPECT_FALSE(probe->IsHidden());
    EXPECT_DOUBLE_EQ(probe->mDrawnValue, 0.75);
}
