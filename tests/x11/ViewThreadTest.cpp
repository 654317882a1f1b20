// `quenlix view` meters on a thread of its own at the file's pace, as a host's audio thread does, and draws
// on the main thread: a stalled drawing thread (here: another client holding the X server, which keeps the
// editor waiting for its last image to be taken) neither stops the metering nor loses any of it, and the
// window goes on changing while the file is metered.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/x11/ViewTestSupport.h"

// After Xlib (which the support header includes last).
#include <X11/Xutil.h>

namespace {

using namespace viewtest;
using Clock = std::chrono::steady_clock;

void sleepS(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// The window's pixels as the server holds them.
std::vector<char> windowPixels(Display* display, Window window) {
    XWindowAttributes wa;
    if (!XGetWindowAttributes(display, window, &wa)) return {};
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(wa.width),
                              static_cast<unsigned>(wa.height), AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    std::vector<char> pixels(image->data, image->data + static_cast<std::size_t>(image->bytes_per_line) *
                                                            static_cast<std::size_t>(image->height));
    XDestroyImage(image);
    return pixels;
}

// While the test's connection holds the server, no other client's request is served: the editor's tick
// waits for the server to take its last image, as it would behind a busy or distant server.
class ServerGrab {
  public:
    explicit ServerGrab(Display* display) : mDisplay(display) {
        XGrabServer(mDisplay);
        XSync(mDisplay, False);
    }
    ~ServerGrab() { release(); }
    void release() {
        if (mDisplay == nullptr) return;
        XUngrabServer(mDisplay);
        XSync(mDisplay, False);
        mDisplay = nullptr;
    }

  private:
    Display* mDisplay;
};

TEST(ViewMetering, KeepsPaceWhileTheDrawingIsStalled) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(60.0, 2.0);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    BackgroundView view(server.DisplayName(), file);
    const Window window = findTopLevel(display, "Quenlix", 10000);
    const auto shown = Clock::now();
    sleepS(0.5);
    ServerGrab grab(display);
    sleepS(2.0);
    // The signal ends the metering where it stands, while the window still cannot be drawn.
    view.signal(SIGTERM);
    const double signalled = std::chrono::duration<double>(Clock::now() - shown).count();
    sleepS(0.5);
    grab.release();
    ProgramRun run = view.finish(20.0);
    XCloseDisplay(display);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window appeared";
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Metered at the file's pace through the two stalled seconds, up to the signal (the metering began a
    // little after the window appeared).
    const double metered = meteredSecondsCutShort(run.out, "ended by SIGTERM", 60.0);
    RecordProperty("signalled_ms", static_cast<int>(signalled * 1000));
    RecordProperty("metered_ms", static_cast<int>(metered * 1000));
    EXPECT_GT(metered, signalled - 0.5) << run.out;
    EXPECT_LT(metered, signalled + 0.2) << run.out;
}

TEST(ViewMetering, AStalledDrawingLosesNothingOfTheSummaryOfMeasure) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(2.0, 2.0);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    BackgroundView view(server.DisplayName(), file);
    const Window window = findTopLevel(display, "Quenlix", 10000);
    sleepS(0.3);
    {
        // Held past the end of the file: the window cannot even be closed until it is let go.
        ServerGrab grab(display);
        sleepS(2.5);
    }
    ProgramRun run = view.finish(20.0);
    XCloseDisplay(display);
    ProgramRun measure = runQuenlix("", "measure -q " + file);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window appeared";
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(measure.exitCode, 0) << measure.err;
    EXPECT_NE(run.out.find("IL"), std::string::npos) << run.out;
    EXPECT_EQ(run.out, measure.out);
}

TEST(ViewMetering, TheWindowKeepsChangingWhileTheFileIsMetered) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(60.0, 2.0);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    BackgroundView view(server.DisplayName(), file);
    const Window window = findTopLevel(display, "Quenlix", 10000);
    ASSERT_NE(window, 0u) << "no editor window appeared";
    sleepS(0.5);
    // The level swings twice a second: sampled 7 times a second, the meters stand still in hardly any pair
    // of pictures taken in a row (a loaded machine may skip a tick now and then).
    std::vector<char> before = windowPixels(display, window);
    int changes = 0, samples = 0;
    for (; samples < 14; ++samples) {
        sleepS(1.0 / 7.0);
        std::vector<char> now = windowPixels(display, window);
        if (now != before) ++changes;
        before = std::move(now);
    }
    view.signal(SIGINT);
    ProgramRun run = view.finish(20.0);
    XCloseDisplay(display);
    std::remove(file.c_str());

    EXPECT_GE(changes, samples - 2);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(meteredSecondsCutShort(run.out, "interrupted by SIGINT", 60.0), 2.0) << run.out;
}

}  // namespace
