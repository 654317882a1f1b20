// `quenlix view` run as a user runs it: on a private Xvfb it meters a short file faster than real time,
// ends by itself at the end of the file and prints what `measure` prints, and goes on metering while a
// menu of its editor is open; closing the window, Ctrl-C, SIGTERM or the X server going away end it
// early with the summary of what was metered; without a display it refuses in one line with the usage
// exit code.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

// Last (Xlib through the helpers): its macros would rewrite names in the headers above.
#include "tests/x11/X11TestSupport.h"

// After the editor's headers, as it brings in Xlib too.
#include "tests/x11/ViewTestSupport.h"

namespace {

using namespace viewtest;

TEST(ViewCommand, EndsAtTheEndOfTheFileWithTheSummaryOfMeasure) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(4.0);

    const auto start = std::chrono::steady_clock::now();
    ProgramRun view = runQuenlix("DISPLAY=" + server.DisplayName(), "view -q --speed 20 " + file);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ProgramRun measure = runQuenlix("", "measure -q " + file);
    std::remove(file.c_str());

    EXPECT_EQ(view.exitCode, 0) << view.err;
    EXPECT_EQ(view.err, "");
    EXPECT_EQ(measure.exitCode, 0) << measure.err;
    EXPECT_NE(view.out.find("IL"), std::string::npos) << view.out;
    EXPECT_EQ(view.out, measure.out);
    // Paced: 4 s at 20 times real time takes at least 0.2 s, and far less than real time.
    EXPECT_GE(seconds, 0.2);
    EXPECT_LT(seconds, 3.0);
}

TEST(ViewCommand, ClosingTheWindowEndsTheRunWithTheSummary) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(60.0);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);

    ProgramRun view;
    const auto start = std::chrono::steady_clock::now();
    std::thread program([&] { view = runQuenlix("DISPLAY=" + server.DisplayName(), "view -q " + file); });
    // The window names the file it shows, and the program behind it, to window managers.
    Window window = findTopLevel(display, ("Quenlix - " + file).c_str(), 10000);
    XClassHint hint{};
    const bool classed = window != 0 && XGetClassHint(display, window, &hint);
    const std::string className = classed ? hint.res_name : "";
    if (classed) XFree(hint.res_name), XFree(hint.res_class);
    if (window != 0) AskWindowToClose(display, window);
    program.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    XCloseDisplay(display);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window titled Quenlix - " << file << " appeared";
    EXPECT_EQ(className, "quenlix");
    EXPECT_EQ(view.exitCode, 0) << view.err;
    EXPECT_LT(seconds, 30.0);  // a minute of audio at real-time pace, cut short
    EXPECT_NE(view.out.find("Quenlix"), std::string::npos) << view.out;
    EXPECT_NE(view.out.find("TP Max"), std::string::npos) << view.out;
    EXPECT_GT(meteredSecondsCutShort(view.out, "the window was closed", 60.0), 0.0) << view.out;
}

TEST(ViewCommand, InterruptedOrTerminatedItEndsWithTheSummaryOfWhatWasMetered) {
    for (const auto& [signo, why] : {std::pair<int, std::string>{SIGINT, "interrupted by SIGINT"},
                                     std::pair<int, std::string>{SIGTERM, "ended by SIGTERM"}}) {
        XvfbServer server;
        ASSERT_TRUE(server.Running()) << server.Error();
        const std::string file = writeTone(60.0);
        Display* display = XOpenDisplay(server.DisplayName().c_str());
        ASSERT_NE(display, nullptr);
        BackgroundView view(server.DisplayName(), file);
        const Window window = findTopLevel(display, "Quenlix", 10000);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        view.signal(signo);
        ProgramRun run = view.finish(20.0);
        XCloseDisplay(display);
        std::remove(file.c_str());

        ASSERT_NE(window, 0u) << "no editor window appeared";
        EXPECT_EQ(run.exitCode, 0) << why << ": " << run.err;
        EXPECT_NE(run.out.find("TP Max"), std::string::npos) << why << ": " << run.out;
        const double metered = meteredSecondsCutShort(run.out, why, 60.0);
        EXPECT_GT(metered, 0.2) << run.out;
        EXPECT_LT(metered, 20.0) << run.out;
        EXPECT_NE(run.out.find("(48000 Hz, 2 ch, "), std::string::npos) << run.out;
    }
}

TEST(ViewCommand, ALostXConnectionEndsTheRunWithTheSummary) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(60.0);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    BackgroundView view(server.DisplayName(), file);
    const Window window = findTopLevel(display, "Quenlix", 10000);
    XCloseDisplay(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    server.Stop();
    ProgramRun run = view.finish(20.0);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window appeared";
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("TP Max"), std::string::npos) << run.out;
    const double metered = meteredSecondsCutShort(run.out, "the X connection was lost", 60.0);
    EXPECT_GT(metered, 0.2) << run.out;
    EXPECT_LT(metered, 20.0) << run.out;
}

// The menu is served by view's own loop, which goes on metering: the meters keep moving while it is
// open, and Escape closes it.
TEST(ViewCommand, KeepsMeteringWhileAMenuIsOpen) {
    XvfbServer server;
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string file = writeTone(60.0, 1.3);
    Display* display = XOpenDisplay(server.DisplayName().c_str());
    ASSERT_NE(display, nullptr);
    auto plug = MakeQuenlix(EWindowSystem::kHeadless);
    const IRECT typeRect =
        *dynamic_cast<IGraphics*>(plug->GetEditor())->GetControl(layout::kTypeSelector)->GetRECT();
    XErrorCounter vanishedWindows;  // the menu may vanish between being listed and looked at

    ProgramRun view;
    std::thread program([&] { view = runQuenlix("DISPLAY=" + server.DisplayName(), "view -q " + file); });
    const Window window = findTopLevel(display, "Quenlix", 10000);
    bool menuOpened = false, menuStayed = false, menuClosed = false;
    int changes = -1;
    if (window != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Click(display, CentreOnScreen(display, window, &typeRect), 1);
        menuOpened = WaitFor([&] { return FindMenuWindow(display) != 0; });
        // The meters and read-outs below the selectors, six times over 1.5 s.
        std::vector<std::vector<LICE_pixel>> frames;
        for (int i = 0; i < 6 && menuOpened; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            int w = 0, h = 0;
            std::vector<LICE_pixel> pixels = ReadWindow(display, window, &w, &h);
            frames.emplace_back(pixels.begin() + static_cast<std::ptrdiff_t>(62) * w, pixels.end());
        }
        changes = 0;
        for (size_t i = 1; i < frames.size(); ++i) changes += frames[i] != frames[i - 1] ? 1 : 0;
        menuStayed = FindMenuWindow(display) != 0;
        const KeyCode escape = XKeysymToKeycode(display, XK_Escape);
        XTestFakeKeyEvent(display, escape, True, 0);
        XTestFakeKeyEvent(display, escape, False, 0);
        XFlush(display);
        menuClosed = WaitFor([&] { return FindMenuWindow(display) == 0; });
        AskWindowToClose(display, window);
    }
    program.join();
    XCloseDisplay(display);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window appeared";
    ASSERT_TRUE(menuOpened) << "the menu did not open";
    EXPECT_TRUE(menuStayed) << "the menu closed by itself";
    EXPECT_GE(changes, 4) << "of 5 intervals, the window changed in " << changes;
    EXPECT_TRUE(menuClosed) << "Escape did not close the menu";
    EXPECT_EQ(view.exitCode, 0) << view.err;
    EXPECT_NE(view.out.find("TP Max"), std::string::npos) << view.out;
}

TEST(ViewCommand, WithoutADisplayRefusesInOneLine) {
    const std::string file = writeTone(0.5);
    ProgramRun unset = runQuenlix("env -u DISPLAY", "view " + file);
    // A display number no server listens on.
    ProgramRun unreachable = runQuenlix("DISPLAY=:4093", "view " + file);
    std::remove(file.c_str());

    for (const ProgramRun& run : {unset, unreachable}) {
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        ASSERT_FALSE(run.err.empty());
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_NE(run.err.find("display"), std::string::npos) << run.err;
    }
}

}  // namespace
