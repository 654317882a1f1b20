#include "XvfbServer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

extern char** environ;

namespace {

std::atomic<int> gErrors{0};

int CountError(Display*, XErrorEvent*) {
    ++gErrors;
    return 0;
}

using Clock = std::chrono::steady_clock;

}  // namespace

XvfbServer::XvfbServer(int width, int height, int timeoutMs, int depth) {
    int fds[2];
    if (pipe(fds) != 0) {
        mError = "no pipe";
        return;
    }
    const std::string screen =
        std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&mPid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        mPid = -1;
        close(fds[0]);
        mError = "Xvfb cannot be started (is the xvfb package installed?)";
        return;
    }
    // Xvfb writes its display number, then a newline, once it accepts connections.
    std::string number;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
        pollfd p{fds[0], POLLIN, 0};
        const int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (poll(&p, 1, std::max(left, 1)) <= 0) continue;
        char buf[16];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        mError = "Xvfb did not report a display within " + std::to_string(timeoutMs) + " ms";
        Stop();
        return;
    }
    const std::string name = ":" + number.substr(0, number.find('\n'));
    Display* probe = XOpenDisplay(name.c_str());
    if (!probe) {
        mError = "Xvfb reported " + name + " but it does not accept connections";
        Stop();
        return;
    }
    XCloseDisplay(probe);
    mDisplayName = name;
}

XvfbServer::~XvfbServer() {
    Stop();
}

void XvfbServer::Stop() {
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (waitpid(mPid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    mPid = -1;
    mDisplayName.clear();
}

XErrorCounter::XErrorCounter() {
    gErrors = 0;
    XSetErrorHandler(&CountError);
}

XErrorCounter::~XErrorCounter() {
    XSetErrorHandler(nullptr);
}

int XErrorCounter::Count() const {
    return gErrors.load();
}

void AskWindowToClose(Display* display, unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}
