// `quenlix live` with the editor in a window on an Xvfb of the test's own: the meters follow the feed,
// and closing the window ends the session with its summary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/live/LiveFixture.h"
#include "tests/live/LiveTestSupport.h"
#include "tests/x11/ViewTestSupport.h"

// Last: its macros would rewrite names in the headers above.
#include <X11/Xutil.h>

namespace {

using livetest::Background;
using livetest::LiveCommand;
using livetest::ProgramRun;

std::vector<char> windowPixels(Display* display, Window window) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display, window, &a)) return {};
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(a.width),
                              static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
    if (image == nullptr) return {};
    std::vector<char> pixels(image->data, image->data + image->bytes_per_line * image->height);
    XDestroyImage(image);
    return pixels;
}

TEST_F(LiveCommand, TheWindowsMetersFollowTheFeedAndClosingItEndsTheSession) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    playTone(livetest::peakForLoudness(-23.0), 1.3);
    Background program(live({"-q"}), {"DISPLAY=" + server.DisplayName()});
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    const Window window = viewtest::findTopLevel(display, "Quenlix", 10000);
    int changes = -1;
    if (window != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::vector<std::vector<char>> frames;
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            frames.push_back(windowPixels(display, window));
        }
        changes = 0;
        for (std::size_t i = 1; i < frames.size(); ++i) changes += frames[i] != frames[i - 1] ? 1 : 0;
        AskWindowToClose(display, window);
    }
    const ProgramRun run = program.finish(15.0);
    XCloseDisplay(display);

    ASSERT_NE(window, 0u) << "no editor window appeared\n" << run.err;
    EXPECT_GE(changes, 3) << "of 4 intervals, the window changed in " << changes;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("  live session (the window was closed): "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("TP Max"), std::string::npos) << run.out;
}

}  // namespace
