// `quenlix view` run as a user runs it: on a private Xvfb it meters a short file faster than real time,
// ends by itself at the end of the file and prints what `measure` prints; without a display it refuses in
// one line with the usage exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "tests/x11/XvfbServer.h"

// Last: its macros would rewrite names in the headers above.
#include <X11/Xlib.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the program through the shell with `environment` prefixed (e.g. "DISPLAY=:5" or "env -u DISPLAY").
ProgramRun runQuenlix(const std::string& environment, const std::string& arguments) {
    const std::string base = "/tmp/quenlix-view-test-" + std::to_string(getpid());
    const std::string command =
        environment + " '" QUENLIX_EXE "' " + arguments + " >" + base + ".out 2>" + base + ".err";
    ProgramRun run;
    int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(base + ".out");
    run.err = readFile(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return run;
}

// A 16-bit stereo WAV of a 997 Hz tone at -12 dBFS, `seconds` long at 48 kHz.
std::string writeTone(double seconds) {
    const std::string path = "/tmp/quenlix-view-test-" + std::to_string(getpid()) + ".wav";
    const std::uint32_t frames = static_cast<std::uint32_t>(seconds * 48000);
    const std::uint32_t bytes = frames * 4;
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + bytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(48000);
    u32(48000 * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(bytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto s =
            static_cast<std::int16_t>(std::lround(8225.0 * std::sin(2.0 * M_PI * 997.0 * i / 48000.0)));
        u16(static_cast<std::uint16_t>(s));
        u16(static_cast<std::uint16_t>(s));
    }
    return path;
}

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

// The top-level window titled `title` on the display, or 0 once `timeoutMs` has passed without one.
Window findTopLevel(Display* display, const char* title, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && found == 0; ++i) {
                char* name = nullptr;
                if (XFetchName(display, children[i], &name) && name) {
                    if (std::string(name) == title) found = children[i];
                    XFree(name);
                }
            }
            if (children) XFree(children);
        }
        if (found != 0) return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
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
    Window window = findTopLevel(display, "Quenlix", 10000);
    if (window != 0) AskWindowToClose(display, window);
    program.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    XCloseDisplay(display);
    std::remove(file.c_str());

    ASSERT_NE(window, 0u) << "no editor window appeared";
    EXPECT_EQ(view.exitCode, 0) << view.err;
    EXPECT_LT(seconds, 30.0);  // a minute of audio at real-time pace, cut short
    EXPECT_NE(view.out.find("Quenlix"), std::string::npos) << view.out;
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
