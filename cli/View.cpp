#include "cli/View.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>

#include "cli/Delivery.h"

namespace quenlix::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The stop signal received while metering (SIGINT, SIGTERM), or 0. Written by the handler only.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void onStopSignal(int signo) {
    gStopSignal = signo;
}

// The editor's own frame rate: its window is redrawn (and its input taken) on every tick.
constexpr std::chrono::microseconds kTickPeriod{40000};

// When the next block may be metered and the window next ticks; one per run.
struct Pace {
    double speed = 1.0;
    Clock::time_point start;
    Clock::time_point nextTick;
    std::string stopReason;  // why the run ended before the programme did
};

// Waits until `framesDone` frames are due at the chosen pace, ticking the window on time meanwhile. False
// as soon as the user asked to close the window.
bool keepPace(Pace& pace, MeteringSession& session, std::int64_t framesDone, int sampleRate) {
    const auto due = pace.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                      static_cast<double>(framesDone) / sampleRate / pace.speed));
    for (;;) {
        if (const int signo = gStopSignal; signo != 0) {
            pace.stopReason = signo == SIGINT ? "interrupted by SIGINT" : "ended by SIGTERM";
            return false;
        }
        Clock::time_point now = Clock::now();
        if (now >= pace.nextTick) {
            session.tickWindow();
            if (session.windowCloseRequested()) {
                pace.stopReason =
                    session.windowConnectionLost() ? "the X connection was lost" : "the window was closed";
                return false;
            }
            // A late tick is not made up for: the next one follows a whole period later.
            pace.nextTick = std::max(pace.nextTick + kTickPeriod, now);
        }
        if (now >= due) return true;
        std::this_thread::sleep_until(std::min(due, pace.nextTick));
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

MeterJob viewJob(const std::string& file, const Options& options) {
    MeterJob job = programmeJob(file, options);
    auto pace = std::make_shared<Pace>();
    pace->speed = options.speed;
    job.onStart = [pace](MeteringSession& session, std::string& error) {
        if (!session.openWindow(error)) return false;
        pace->start = Clock::now();
        pace->nextTick = pace->start;
        return true;
    };
    job.afterBlock = [pace](MeteringSession& session, std::int64_t framesDone, int sampleRate) {
        return keepPace(*pace, session, framesDone, sampleRate);
    };
    job.onEnd = [](MeteringSession& session) { session.closeWindow(); };
    job.stopReason = [pace] { return pace->stopReason; };
    return job;
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
