#include "cli/View.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "cli/Meterer.h"

namespace quenlix::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The stop signal received while metering (SIGINT, SIGTERM), or 0. Written by the handler only; read by the
// metering thread after every block and by the main thread before every tick.
std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void onStopSignal(int signo) {
    gStopSignal.store(signo, std::memory_order_relaxed);
}

// The editor's own frame rate: its window is redrawn (and its input taken) on every tick.
constexpr std::chrono::microseconds kTickPeriod{40000};

// Why the run ended before the programme did; the first reason found holds.
enum class Stop : int { None, Interrupted, Terminated, WindowClosed, ConnectionLost };

std::string stopText(Stop why) {
    switch (why) {
        case Stop::Interrupted:
            return "interrupted by SIGINT";
        case Stop::Terminated:
            return "ended by SIGTERM";
        case Stop::WindowClosed:
            return "the window was closed";
        case Stop::ConnectionLost:
            return "the X connection was lost";
        case Stop::None:
            break;
    }
    return {};
}

// What the metering thread and the main thread share for one run. Per block the metering thread only reads
// `stop`; it takes the mutex twice a run, to hand the session's window to the main thread to open and to
// close, and waits then for nothing but that.
struct ViewLink {
    enum class Ask { Nothing, Open, Close };

    double speed = 1.0;
    std::string title;        // of the editor window; set before the metering thread starts
    Clock::time_point start;  // when the first block was due (metering thread)
    std::atomic<int> stop{static_cast<int>(Stop::None)};

    std::mutex mutex;
    std::condition_variable changed;
    Ask ask = Ask::Nothing;
    MeteringSession* session = nullptr;
    bool answered = false;
    bool opened = false;
    std::string error;
    bool finished = false;  // the metering thread is done and touches no session any more

    void stopFor(Stop why) {
        int none = static_cast<int>(Stop::None);
        stop.compare_exchange_strong(none, static_cast<int>(why));
    }
    Stop stopped() const { return static_cast<Stop>(stop.load()); }
    // A caught signal, seen by either thread, stops the run.
    void takeSignal() {
        if (const int signo = gStopSignal.load(std::memory_order_relaxed); signo != 0)
            stopFor(signo == SIGINT ? Stop::Interrupted : Stop::Terminated);
    }

    // Metering thread: has the main thread open or close the window of `s` and waits until it has.
    bool askMain(Ask what, MeteringSession& s, std::string& whyNot) {
        std::unique_lock<std::mutex> lock(mutex);
        ask = what;
        session = &s;
        answered = false;
        changed.notify_all();
        changed.wait(lock, [this] { return answered; });
        whyNot = error;
        return opened;
    }

    void finish() {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
        changed.notify_all();
    }
};

// Metering thread: waits until `framesDone` frames are due at the chosen pace. False as soon as the run is
// to stop. Wakes at least once a tick period, so a stop is seen within one also at a slow pace.
bool keepPace(ViewLink& link, std::int64_t framesDone, int sampleRate) {
    const auto due = link.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                      static_cast<double>(framesDone) / sampleRate / link.speed));
    for (;;) {
        link.takeSignal();
        if (link.stopped() != Stop::None) return false;
        const Clock::time_point now = Clock::now();
        if (now >= due) return true;
        std::this_thread::sleep_until(std::min(due, now + kTickPeriod));
    }
}

// Main thread: opens, ticks and closes the window as the metering thread asks, until it has finished. The
// window stops ticking once the run is to stop, as the metering does.
void serveWindow(ViewLink& link) {
    std::unique_lock<std::mutex> lock(link.mutex);
    MeteringSession* window = nullptr;  // the session whose window is open
    Clock::time_point nextTick;
    for (;;) {
        if (link.ask != ViewLink::Ask::Nothing) {
            const ViewLink::Ask ask = std::exchange(link.ask, ViewLink::Ask::Nothing);
            MeteringSession* session = link.session;
            lock.unlock();
            std::string error;
            bool opened = false;
            if (ask == ViewLink::Ask::Open) {
                opened = session->openWindow(link.title, error);
                window = opened ? session : nullptr;
                nextTick = Clock::now();
            } else if (window != nullptr) {
                window->closeWindow();
                window = nullptr;
            }
            lock.lock();
            link.opened = opened;
            link.error = std::move(error);
            link.answered = true;
            link.changed.notify_all();
            continue;
        }
        if (link.finished) return;
        if (window == nullptr || link.stopped() != Stop::None) {
            link.changed.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        if (now >= nextTick) {
            lock.unlock();
            link.takeSignal();
            if (link.stopped() == Stop::None) {
                window->tickWindow();
                if (window->windowCloseRequested())
                    link.stopFor(window->windowConnectionLost() ? Stop::ConnectionLost : Stop::WindowClosed);
            }
            lock.lock();
            // A late tick is not made up for: the next one follows a whole period later.
            nextTick = std::max(nextTick + kTickPeriod, now);
        }
        link.changed.wait_until(lock, nextTick);
    }
}

}  // namespace

bool prepareView(SessionFactory& factory, std::ostream& err) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        err << "quenlix: view needs an X display, and DISPLAY is not set\n";
        return false;
    }
    std::string error;
    if (!factory.useWindows(error)) {
        err << "quenlix: view needs an X display: " << error << " (DISPLAY=" << display << ")\n";
        return false;
    }
    return true;
}

std::vector<FileReport> meterInView(const MeterJob& programme, SessionFactory& factory,
                                    const Options& options, const std::vector<std::uint8_t>* state,
                                    Progress& progress) {
    ViewLink link;
    link.speed = options.speed;
    std::vector<MeterJob> jobs{programme};
    MeterJob& job = jobs.front();
    link.title = "Quenlix - " + job.name;
    job.onStart = [&link, &options](MeteringSession& session, std::string& error) {
        session.setEditorScale(options.editorScale);
        if (!link.askMain(ViewLink::Ask::Open, session, error)) return false;
        link.start = Clock::now();
        return true;
    };
    job.afterBlock = [&link](MeteringSession&, std::int64_t framesDone, int sampleRate) {
        return keepPace(link, framesDone, sampleRate);
    };
    job.onEnd = [&link](MeteringSession& session) {
        std::string ignored;
        link.askMain(ViewLink::Ask::Close, session, ignored);
    };
    job.stopReason = [&link] { return stopText(link.stopped()); };

    std::vector<FileReport> reports;
    std::thread metering([&] {
        reports = meterAll(jobs, factory, options, state, progress);
        link.finish();
    });
    serveWindow(link);
    // Everything metered is in the reports once the thread has ended.
    metering.join();
    return reports;
}

int caughtStopSignal() {
    return gStopSignal.load(std::memory_order_relaxed);
}

StopSignals::StopSignals() {
    gStopSignal = 0;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // A second signal acts as if none was caught: a run stuck waiting for its input still ends at once.
    action.sa_flags = SA_RESETHAND;
    // A signal ignored on the way in (a background job of a script) stays ignored.
    for (auto [signo, previous] : {std::pair{SIGINT, &mPreviousInt}, std::pair{SIGTERM, &mPreviousTerm}}) {
        sigaction(signo, nullptr, previous);
        if (previous->sa_handler != SIG_IGN) sigaction(signo, &action, nullptr);
    }
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &mPreviousInt, nullptr);
    sigaction(SIGTERM, &mPreviousTerm, nullptr);
}

}  // namespace quenlix::cli
