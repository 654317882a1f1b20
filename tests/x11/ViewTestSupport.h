// Shared by the tests of `quenlix view` run as a program: the program run to its end or in the background,
// the tone files it meters, its window found on the test's display.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/x11/XvfbServer.h"

// Last: its macros would rewrite names in the headers above.
#include <X11/Xlib.h>

namespace viewtest {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the program through the shell with `environment` prefixed (e.g. "DISPLAY=:5" or "env -u DISPLAY").
inline ProgramRun runQuenlix(const std::string& environment, const std::string& arguments) {
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
inline std::string writeTone(double seconds, double wobbleHz = 0.0) {
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

// The top-level window titled `title`, or `title` followed by " - " and more (the file a view shows), on the
// display, or 0 once `timeoutMs` has passed without one.
inline Window findTopLevel(Display* display, const char* title, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && found == 0; ++i) {
                char* name = nullptr;
                if (XFetchName(display, children[i], &name) && name) {
                    const std::string text = name, prefix = std::string(title) + " - ";
                    if (text == title || text.compare(0, prefix.size(), prefix) == 0) found = children[i];
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
            // As a shell's foreground job has them, also when the tests run as a background job (which
            // ignores SIGINT, and the program keeps a signal ignored on the way in).
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
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
inline double meteredSecondsCutShort(const std::string& out, const std::string& why, double totalS) {
    char total[32];
    std::snprintf(total, sizeof total, " s of %.2f s metered\n", totalS);
    const std::string head = "  cut short (" + why + "): ";
    const std::size_t at = out.find(head);
    if (at == std::string::npos || out.find(total, at) == std::string::npos) return -1.0;
    return std::stod(out.substr(at + head.size()));
}

}  // namespace viewtest
