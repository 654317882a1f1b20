// `quenlix view` run as a user runs it: on a private Xvfb it meters a short file faster than real time,
// ends by itself at the end of the file and prints what `measure` prints, and goes on metering while a
// menu of its editor is open; closing the window, Ctrl-C, SIGTERM or the X server going away end it
// early with the summary of what was metered; without a display it refuses in one line with the usage
// exit code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

// Last (Xlib through the helpers): its macros would rewrite names in the headers above.
#include "tests/x11/X11TestSupport.h"

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

// A 16-bit stereo WAV of a 997 Hz tone at -12 dBFS, `seconds` long at 48 kHz; with wobbleHz its level
// swings between about -12 and -32 dBFS that many times a second, so the meters never settle.
std::string writeTone(double seconds, double wobbleHz = 0.0) {
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
        const double gain =
            wobbleHz > 0.0 ? 0.55 + 0.45 * std::sin(2.0 * M_PI * wobbleHz * i / 48000.0) : 1.0;
        const auto s = static_cast<std::int16_t>(
            std::lround(8225.0 * gain * std::sin(2.0 * M_PI * 997.0 * i / 48000.0)));
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

// `quenlix view -q FILE` started in the background on `display`, its output going to files; the test
// stops it by a signal or through the display, then collects it with finish().
class BackgroundView {
  public:
    BackgroundView(const std::string& display, const std::string& file)
        : mBase("/tmp/quenlix-view-bg-" + std::to_string(getpid())) {
        const std::string displayVariable = "DISPLAY=" + display;
        const std::string out = mBase + ".out", err = mBase + ".err";
        const char* argv[] = {QUENLIX_EXE, "view", "-q", file.c_str(), nullptr};
        const char* envp[] = {displayVariable.c_str(), nullptr};
        mPid = fork();
        if (mPid == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
            execve(QUENLIX_EXE, const_cast<char**>(argv), const_cast<char**>(envp));
            _exit(127);
        }
    }
    ~BackgroundView() {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        std::remove((mBase + ".out").c_str());
        std::remove((mBase + ".err").c_str());
    }
    void signal(int signo) const { kill(mPid, signo); }
    // Waits at most `timeoutS` for the program to end; exitCode -2 when it did not.
    ProgramRun finish(double timeoutS) {
        ProgramRun run;
        run.exitCode = -2;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
        int status = 0;
        while (mPid > 0 && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                mPid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        run.out = readFile(mBase + ".out");
        run.err = readFile(mBase + ".err");
        return run;
    }

  private:
    std::string mBase;
    pid_t mPid = -1;
};

// The metered seconds of the summary's "cut short (why): M s of T s metered" line for a reason `why`, or
// -1 when the line is not there.
double meteredSecondsCutShort(const std::string& out, const std::string& why, double totalS) {
    char total[32];
    std::snprintf(total, sizeof total, " s of %.2f s metered\n", totalS);
    const std::string head = "  cut short (" + why + "): ";
    const std::size_t at = out.find(head);
    if (at == std::string::npos || out.find(total, at) == std::string::npos) return -1.0;
    return std::stod(out.substr(at + head.size()));
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
