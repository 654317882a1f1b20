// The X11 editor metering over a connection without shared memory, as to a server on another machine:
// after ticks that send only what changed, the window shows what a full redraw shows; a tick that
// changes nothing on screen sends nothing; and an area another window uncovered is sent again although
// its pixels did not change.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../plugin/EditorPicture.h"

// Xlib last (X11TestSupport.h brings it): its macros (None, Bool) must not meet other headers.
#include "X11TestSupport.h"

namespace {

constexpr long kTickFrames = 1764;  // 40 ms at 44.1 kHz

class X11RedrawTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!mServer.Running()) GTEST_SKIP() << "no X server for this test: " << mServer.Error();
        mDisplay = XOpenDisplay(mServer.DisplayName().c_str());
        ASSERT_NE(mDisplay, nullptr);
        mX11Plug = MakeQuenlix(EWindowSystem::kX11);
        mHeadlessPlug = MakeQuenlix(EWindowSystem::kHeadless);
        mX11 = dynamic_cast<IGraphicsX11*>(mX11Plug->GetEditor());
        mHeadless = dynamic_cast<IGraphicsHeadless*>(mHeadlessPlug->GetEditor());
        ASSERT_NE(mX11, nullptr);
        ASSERT_NE(mHeadless, nullptr);
        mX11->SetDisplayName(mServer.DisplayName().c_str());
        mX11->SetAllowShm(false);
        ASSERT_NE(mX11->OpenWindow(nullptr), nullptr);
        ASSERT_FALSE(mX11->UsesShm());
        for (int i = 0; i < 20; ++i) Settle();
    }
    void TearDown() override {
        mX11Plug.reset();
        mHeadlessPlug.reset();
        if (mDisplay) XCloseDisplay(mDisplay);
    }

    void Settle() {
        mX11->Tick();
        XSync(mX11->GetDisplay(), False);
    }
    // The same programme into both plug-ins; the X11 editor ticks every 40 ms of it.
    void Meter(double seconds, const double* levelsDb) {
        PluginHost x11Host(*mX11Plug), headlessHost(*mHeadlessPlug);
        for (long t = 0; t < static_cast<long>(seconds * 25.0); ++t) {
            RunProgramme(x11Host, 2, levelsDb, kTickFrames / 44100.0);
            RunProgramme(headlessHost, 2, levelsDb, kTickFrames / 44100.0);
            Settle();
        }
    }
    // Pixels where the window differs from a full redraw of the headless editor in the same state.
    int DifferencesFromFullRedraw(std::string* first) {
        Settle();
        Settle();
        mHeadless->OpenWindow(nullptr);
        mHeadless->SetAllControlsDirty();
        TickUntilClean(mHeadless);
        int w = 0, h = 0;
        const std::vector<LICE_pixel> pixels = ReadWindow(mDisplay, mX11->GetXWindow(), &w, &h);
        return CountDifferences(pixels, w, h, mHeadless->GetFramebuffer(), first);
    }

    XvfbServer mServer;
    Display* mDisplay = nullptr;
    std::unique_ptr<TestQuenlix> mX11Plug, mHeadlessPlug;
    IGraphicsX11* mX11 = nullptr;
    IGraphicsHeadless* mHeadless = nullptr;
};

}  // namespace

TEST_F(X11RedrawTest, WindowAfterTicksSendingOnlyChangesEqualsAFullRedraw) {
    const double loud[] = {-6.0, -10.0};
    const double quiet[] = {-40.0, -65.0};
    const struct {
        const char* what;
        int param;  // -1: none
        double value;
        const double* levels;
    } steps[] = {
        {"RMS, programme", -1, 0.0, loud},
        {"RMS, quiet programme", -1, 0.0, quiet},
        {"EBU, programme", Quenlix::kType, 1.0, loud},
        {"back to RMS", Quenlix::kType, 0.0, quiet},
    };
    for (const auto& step : steps) {
        if (step.param >= 0) {
            SetParamFromHost(*mX11Plug, step.param, step.value);
            SetParamFromHost(*mHeadlessPlug, step.param, step.value);
        }
        const long long before = mX11->BytesSent();
        Meter(1.5, step.levels);
        // Well under the whole window per tick: only the changes travel.
        EXPECT_LT(mX11->BytesSent() - before, 37LL * 616 * 320 * 4 / 4) << step.what;
        std::string first;
        EXPECT_EQ(DifferencesFromFullRedraw(&first), 0) << step.what << ": first difference " << first;
    }
}

TEST_F(X11RedrawTest, UnchangedPixelsAreNotSentUnlessAnotherWindowUncoveredThem) {
    mX11->SetAllControlsDirty();
    const long long before = mX11->BytesSent();
    Settle();
    Settle();
    EXPECT_EQ(mX11->BytesSent(), before);  // a full redraw of what the window already shows

    // A window over the editor, then gone: the server lost what was beneath it.
    const long long uncovered = mX11->BytesSent();
    Window cover = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, 300, 200, 0, 0, 0xFF00FF);
    XMapRaised(mDisplay, cover);
    XSync(mDisplay, False);
    XDestroyWindow(mDisplay, cover);
    XSync(mDisplay, False);
    ASSERT_TRUE(WaitFor([this, uncovered] {
        Settle();
        return mX11->BytesSent() > uncovered;
    }));
    std::string first;
    EXPECT_EQ(DifferencesFromFullRedraw(&first), 0) << "first difference " << first;
}
